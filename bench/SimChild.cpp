#include "SimChild.h"

#include <QDeadlineTimer>
#include <csignal>
#include <sys/prctl.h>

namespace {
const QRegularExpression kLogLine(QStringLiteral("^\\S+ t=(\\d+) (RX|TX|EV) (\\S+) ?(.*)$"));
const QRegularExpression kDeviceLine(QStringLiteral("^DEVICE (\\S+)$"));
} // namespace

SimChild::~SimChild() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(2000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool SimChild::start(const QStringList& options, QString* error) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A benchmark that dies must not leave simulators behind (they persist).
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(m_program, options);
    if (!m_process.waitForStarted(5000)) {
        *error = QStringLiteral("cannot start %1: %2").arg(m_program, m_process.errorString());
        return false;
    }
    const QDeadlineTimer deadline(5000);
    while (m_lines.isEmpty() && !deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(int(deadline.remainingTime()));
        takeOutput();
    }
    const QRegularExpressionMatch device = kDeviceLine.match(m_lines.value(0));
    if (!device.hasMatch()) {
        *error = QStringLiteral("%1 printed no DEVICE line").arg(m_program);
        return false;
    }
    m_device = device.captured(1);
    m_cursor = 1;
    return true;
}

std::optional<SimLogLine> SimChild::next(const QString& direction, const QString& hexPrefix, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        takeOutput();
        for (; m_cursor < m_lines.size(); ++m_cursor) {
            const QRegularExpressionMatch match = kLogLine.match(m_lines.at(m_cursor));
            if (match.hasMatch() && match.captured(2) == direction &&
                match.captured(3).startsWith(hexPrefix)) {
                ++m_cursor;
                return SimLogLine{match.captured(1).toLongLong(), match.captured(2), match.captured(3),
                                  match.captured(4)};
            }
        }
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return std::nullopt;
        m_process.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1)));
    }
}

void SimChild::takeOutput() {
    m_partialLine += m_process.readAllStandardOutput();
    qsizetype end;
    while ((end = m_partialLine.indexOf('\n')) >= 0) {
        m_lines << QString::fromUtf8(m_partialLine.left(end));
        m_partialLine.remove(0, end + 1);
    }
}
