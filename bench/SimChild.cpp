#include "SimChild.h"

bool SimChild::start(const QStringList& options, QString* error) {
    if (m_process.start(options))
        return true;
    *error = QStringLiteral("the simulator did not start and print its DEVICE line: %1")
                 .arg(m_process.standardError().trimmed());
    return false;
}

std::optional<SimLogLine> SimChild::next(const std::function<bool(const SimLogLine&)>& matches,
                                         int timeoutMs) {
    std::optional<SimLogLine> found;
    const int line = m_process.waitForLineWhere(
        [&](const QString& text) {
            found = FrameLog::parseLine(text);
            return found && matches(*found);
        },
        timeoutMs, m_cursor);
    if (line < 0) {
        m_cursor = int(m_process.lines().size());
        return std::nullopt;
    }
    m_cursor = line + 1;
    return found;
}
