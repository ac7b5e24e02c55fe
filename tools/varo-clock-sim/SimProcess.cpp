#include "SimProcess.h"

#include <QDeadlineTimer>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {
const QRegularExpression kDeviceLine(QStringLiteral("^DEVICE (\\S+)$"));
}

SimProcess::SimProcess(QString program) : m_program(std::move(program)) {
#ifdef Q_OS_LINUX
    // A test or benchmark that dies must not leave a simulator behind.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
#endif
}

QString SimProcess::builtProgram() {
    return QStringLiteral(VARO_CLOCK_SIM_PATH);
}

SimProcess::~SimProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool SimProcess::start(const QStringList& arguments, int timeoutMs) {
    m_process.start(m_program, arguments);
    const QRegularExpressionMatch device = waitForLine(kDeviceLine, timeoutMs);
    if (!device.hasMatch() || m_lines.first() != device.captured(0))
        return false;
    m_device = device.captured(1);
    return true;
}

QRegularExpressionMatch SimProcess::waitForLine(const QRegularExpression& pattern, int timeoutMs,
                                                int fromLine, int* lineNumber) {
    const QDeadlineTimer deadline(timeoutMs);
    for (int checked = fromLine;;) {
        takeOutput();
        for (; checked < m_lines.size(); ++checked) {
            const QRegularExpressionMatch match = pattern.match(m_lines.at(checked));
            if (match.hasMatch()) {
                if (lineNumber)
                    *lineNumber = checked;
                return match;
            }
        }
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return {};
        m_process.waitForReadyRead(int(deadline.remainingTime()));
    }
}

QStringList SimProcess::linesMatching(const QRegularExpression& pattern, int fromLine) const {
    QStringList matching;
    for (int i = fromLine; i < m_lines.size(); ++i)
        if (pattern.match(m_lines.at(i)).hasMatch())
            matching << m_lines.at(i);
    return matching;
}

const QStringList& SimProcess::lines() {
    takeOutput();
    return m_lines;
}

int SimProcess::waitForExit(int timeoutMs) {
    const bool finished = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
    takeOutput();
    if (!finished || m_process.exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process.exitCode();
}

QString SimProcess::standardError() {
    return QString::fromLocal8Bit(m_process.readAllStandardError());
}

void SimProcess::takeOutput() {
    m_partialLine += m_process.readAllStandardOutput();
    int end;
    while ((end = m_partialLine.indexOf('\n')) >= 0) {
        m_lines << QString::fromUtf8(m_partialLine.left(end));
        m_partialLine.remove(0, end + 1);
    }
}

qint64 logTimeUs(const QString& line) {
    static const QRegularExpression time(QStringLiteral(" t=(\\d+) "));
    return time.match(line).captured(1).toLongLong();
}
