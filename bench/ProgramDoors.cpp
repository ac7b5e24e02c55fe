#include "ProgramDoors.h"

#include <QRegularExpression>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>

namespace {
constexpr int kLimitMs = 10000;

// A benchmark that dies must not leave a program behind on a simulator.
void endWithParent(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}
} // namespace

CliChild::CliChild() {
    endWithParent(m_process);
}

void CliChild::startSetTime(const QString& device) {
    m_process.start(QStringLiteral(VARO_CLOCK_CLI_PATH),
                    {QStringLiteral("--port"), device, QStringLiteral("set-time")});
}

QString CliChild::finish() {
    if (m_process.waitForFinished(kLimitMs) && m_process.exitStatus() == QProcess::NormalExit &&
        m_process.exitCode() == 0)
        return {};
    m_process.kill();
    m_process.waitForFinished();
    return QStringLiteral("varo-clock-cli set-time failed (exit %1): %2")
        .arg(m_process.exitCode())
        .arg(QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed());
}

ServiceChild::ServiceChild() {
    endWithParent(m_process);
}

ServiceChild::~ServiceChild() {
    m_process.terminate();
    if (!m_process.waitForFinished(kLimitMs)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString ServiceChild::start(const QString& device) {
    m_process.start(
        QStringLiteral(VARO_CLOCK_SERVICE_PATH),
        {QStringLiteral("--port"), device, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    const QRegularExpression listening(QStringLiteral("listening on http://127.0.0.1:(\\d+)/"));
    QRegularExpressionMatch match;
    const bool said = QTest::qWaitFor(
        [&] {
            m_said += m_process.readAllStandardError();
            match = listening.match(QString::fromLocal8Bit(m_said));
            return match.hasMatch() || m_process.state() == QProcess::NotRunning;
        },
        kLimitMs);
    m_port = quint16(match.captured(1).toUInt());
    if (said && m_port != 0)
        return {};
    return QStringLiteral("varo-clock-service does not listen: ") + QString::fromLocal8Bit(m_said).trimmed();
}

QString ServiceChild::postSetTime() {
    m_request.connectToHost(QHostAddress::LocalHost, m_port);
    const QByteArray request = QStringLiteral("POST /set-time HTTP/1.1\r\nHost: 127.0.0.1:%1\r\n"
                                              "Content-Length: 0\r\nConnection: close\r\n\r\n")
                                   .arg(m_port)
                                   .toLatin1();
    if (m_request.waitForConnected(kLimitMs) && m_request.write(request) == request.size() &&
        m_request.waitForBytesWritten(kLimitMs))
        return {};
    return QStringLiteral("cannot send POST /set-time: ") + m_request.errorString();
}

QString ServiceChild::answer() {
    QByteArray said;
    while (m_request.state() == QAbstractSocket::ConnectedState && m_request.waitForReadyRead(kLimitMs))
        said += m_request.readAll();
    said += m_request.readAll();
    m_request.close();
    if (said.startsWith("HTTP/1.1 200"))
        return {};
    return QStringLiteral("POST /set-time answered: ") + QString::fromUtf8(said.left(300));
}
