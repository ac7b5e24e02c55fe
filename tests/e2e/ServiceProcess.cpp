#include "ServiceProcess.h"

#include "SimProcess.h"

#include <QFile>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>

ServiceProcess::ServiceProcess() {
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

ServiceProcess::~ServiceProcess() {
    m_process.kill();
    m_process.waitForFinished();
}

bool ServiceProcess::start(const QStringList& arguments, quint16 listenPort) {
    m_process.start(
        QStringLiteral(VARO_CLOCK_SERVICE_PATH),
        arguments + QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(listenPort)});
    const QRegularExpression listening(QStringLiteral("listening on http://127.0.0.1:(\\d+)/"));
    QRegularExpressionMatch match;
    const auto listens = [&] {
        m_err += m_process.readAllStandardError();
        match = listening.match(QString::fromLocal8Bit(m_err));
        return match.hasMatch();
    };
    if (!QTest::qWaitFor([&] { return listens() || m_process.state() == QProcess::NotRunning; }))
        return false;
    port = quint16(match.captured(1).toUInt());
    return port != 0;
}

int ServiceProcess::exitStatus() {
    m_process.waitForFinished();
    m_err += m_process.readAllStandardError();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString ServiceProcess::err() {
    m_err += m_process.readAllStandardError();
    return QString::fromLocal8Bit(m_err);
}

QUrl ServiceProcess::url(const QString& path, const QString& scheme) const {
    return QUrl(QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(port).arg(path));
}

QString fileIn(const QTemporaryDir& dir, const QString& name, const QByteArray& text) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return file.fileName();
}

QRegularExpressionMatch waitForSaid(ServiceProcess& service, const QRegularExpression& pattern,
                                    int timeoutMs) {
    QRegularExpressionMatch match;
    const bool said =
        QTest::qWaitFor([&] { return (match = pattern.match(service.err())).hasMatch(); }, timeoutMs);
    return said ? match : QRegularExpressionMatch();
}

bool nothingReachedClockSince(SimProcess& sim, int mark, const std::function<bool()>& readClock2) {
    if (!readClock2())
        return false;
    // Any frame the master clock received.
    static const QRegularExpression received(QStringLiteral(" RX [0-9A-F]+ "));
    const int first =
        sim.waitForLineWhere([](const QString& line) { return received.match(line).hasMatch(); }, 3000, mark);
    return first >= 0 && sim.lines().at(first).contains(QLatin1String(" RX BBA2 "));
}
