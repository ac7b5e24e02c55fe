#include "SimProcess.h"

#include "FrameLog.h"

#include <QDeadlineTimer>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

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
    // The DEVICE line comes first or not at all.
    if (waitForLineWhere([](const QString&) { return true; }, timeoutMs) != 0)
        return false;
    const std::optional<QString> device = FrameLog::parseDevice(m_lines.first());
    m_device = device.value_or(QString());
    return device.has_value();
}

int SimProcess::waitForLineWhere(const std::function<bool(const QString&)>& matches, int timeoutMs,
                                 int fromLine) {
    const QDeadlineTimer deadline(timeoutMs);
    for (int checked = fromLine;;) {
        takeOutput();
        for (; checked < m_lines.size(); ++checked)
            if (matches(m_lines.at(checked)))
                return checked;
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return -1;
        m_process.waitForReadyRead(int(deadline.remainingTime()));
    }
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
