#include "ProgramDoors.h"

#include <QEventLoop>
#include <QNetworkReply>
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

namespace ProgramDoors {

QString runCliSetTime(const QString& device) {
    QProcess cli;
    endWithParent(cli);
    cli.start(QStringLiteral(VARO_CLOCK_CLI_PATH),
              {QStringLiteral("--port"), device, QStringLiteral("set-time")});
    if (!cli.waitForFinished(kLimitMs) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0)
        return QStringLiteral("varo-clock-cli set-time failed (exit %1): %2")
            .arg(cli.exitCode())
            .arg(QString::fromLocal8Bit(cli.readAllStandardError()).trimmed());
    return {};
}

} // namespace ProgramDoors

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
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/set-time").arg(m_port)));
    request.setTransferTimeout(kLimitMs);
    QNetworkReply* reply = m_network.post(request, QByteArray());
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 200)
        return {};
    return QStringLiteral("POST /set-time answered %1: %2")
        .arg(status)
        .arg(QString::fromUtf8(reply->readAll()));
}
