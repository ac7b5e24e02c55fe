#include "SimChild.h"

bool SimChild::start(const QStringList& options, QString* error) {
    if (m_process.start(options))
        return true;
    *error = QStringLiteral("the simulator did not start and print its DEVICE line: %1")
                 .arg(m_process.standardError().trimmed());
    return false;
}

std::optional<SimLogLine> SimChild::next(const QString& direction, const QString& hexPrefix, int timeoutMs) {
    const QRegularExpression pattern(
        QStringLiteral("^\\S+ t=(\\d+) (%1) (%2\\S*) ?(.*)$")
            .arg(QRegularExpression::escape(direction), QRegularExpression::escape(hexPrefix)));
    int line = 0;
    const QRegularExpressionMatch match = m_process.waitForLine(pattern, timeoutMs, m_cursor, &line);
    if (!match.hasMatch()) {
        m_cursor = int(m_process.lines().size());
        return std::nullopt;
    }
    m_cursor = line + 1;
    return SimLogLine{match.captured(1).toLongLong(), match.captured(2), match.captured(3),
                      match.captured(4)};
}
