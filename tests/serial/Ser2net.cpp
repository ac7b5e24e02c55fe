#include "Ser2net.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QtEndian>
#include <algorithm>

namespace {
// Ports free now on 127.0.0.1, told by the system.
QList<quint16> freePorts(int count) {
    QObject servers; // each holds its port until all are known
    QList<quint16> ports;
    while (ports.size() < count) {
        auto* server = new QTcpServer(&servers);
        server->listen(QHostAddress::LocalHost);
        ports << server->serverPort();
    }
    return ports;
}
} // namespace

Ser2net::~Ser2net() {
    m_process.terminate();
    m_process.waitForFinished();
}

bool Ser2net::listens(quint16 port) {
    // Its own network's table: the namespace's, where it runs in one.
    QFile table(QStringLiteral("/proc/%1/net/tcp").arg(m_process.processId()));
    // Local address HOST:PORT, the address's bytes in reverse, in state 0A, LISTEN.
    const QByteArray entry =
        QStringLiteral("%1:%2 00000000:0000 0A")
            .arg(qFromBigEndian(QHostAddress(m_host).toIPv4Address()), 8, 16, QLatin1Char('0'))
            .arg(port, 4, 16, QLatin1Char('0'))
            .toUpper()
            .toLatin1();
    return table.open(QIODevice::ReadOnly) && table.readAll().contains(entry);
}

QString Ser2net::connectionName(int device, bool rfc2217) {
    return QStringLiteral("%1%2").arg(rfc2217 ? "rfc2217_" : "raw_").arg(device);
}

QString Ser2net::start(const QStringList& devices) {
    m_ports = freePorts(int(devices.size()) * 2 + 1);
    QByteArray config;
    for (int device = 0; device < devices.size(); ++device)
        for (bool rfc2217 : {true, false})
            config += QStringLiteral("connection: &%1\n"
                                     "  accepter: %2tcp,%3,%4\n"
                                     "  connector: serialdev,%5,9600n81,local\n"
                                     "  options:\n"
                                     "    chardelay: false\n"
                                     "    kickolduser: %6\n")
                          .arg(connectionName(device, rfc2217), rfc2217 ? "telnet(rfc2217)," : "", m_host)
                          .arg(url(device, rfc2217).section(QLatin1Char(':'), -1), devices[device],
                               !m_netns.isEmpty() ? "true" : "false")
                          .toUtf8();
    config += QStringLiteral("admin:\n  accepter: tcp,%1,%2\n").arg(m_host).arg(m_ports.last()).toUtf8();
    QFile file(m_folder.filePath(QStringLiteral("ser2net.yaml")));
    if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size())
        return QStringLiteral("cannot write ") + file.fileName();
    file.close();
    // -r: ser2net prints "Ready" once it has set up every accepter. The
    // process counts as started only once the event loop has heard of its
    // start: until then QProcess calls it Starting, whatever it does.
    const QStringList command{"ser2net", "-n", "-d", "-u", "-r", "-c", file.fileName()};
    if (m_netns.isEmpty())
        m_process.start(command.first(), command.mid(1));
    else
        m_process.start(QStringLiteral("ip"), QStringList{"netns", "exec", m_netns} + command);
    const bool started = m_process.waitForStarted();
    QByteArray said;
    const bool settled = started && QTest::qWaitFor([&] {
                             said += m_process.readAllStandardOutput();
                             return said.contains("Ready\n") || m_process.state() == QProcess::NotRunning;
                         });
    // A port another program took meanwhile is named in what ser2net said.
    const bool listening =
        std::all_of(m_ports.begin(), m_ports.end(), [this](quint16 port) { return listens(port); });
    if (settled && m_process.state() == QProcess::Running && listening)
        return QString();
    QString why;
    if (!started)
        why = QStringLiteral("it did not start (%1)").arg(m_process.errorString());
    else if (m_process.state() == QProcess::NotRunning)
        why = QStringLiteral("it ended with exit code %1").arg(m_process.exitCode());
    else if (settled)
        why = QStringLiteral("not every port listens");
    else
        why = QStringLiteral("it did not say Ready in time");
    return QStringLiteral("ser2net is not ready (scripts/setup.sh installs it): %1: %2")
        .arg(why, QString::fromLocal8Bit(said + m_process.readAllStandardError()).trimmed());
}

QString Ser2net::url(int device, bool rfc2217) const {
    return QStringLiteral("%1://%2:%3")
        .arg(rfc2217 ? "rfc2217" : "socket", m_host)
        .arg(m_ports[device * 2 + (rfc2217 ? 0 : 1)]);
}

bool Ser2net::hangUp(int device, bool rfc2217) {
    QTcpSocket admin;
    admin.connectToHost(QHostAddress(m_host), m_ports.last());
    if (!admin.waitForConnected())
        return false;
    admin.write(QStringLiteral("disconnect %1\r\n").arg(connectionName(device, rfc2217)).toLatin1());
    // The prompt after the command's echo: done.
    QByteArray said;
    while (said.count("-> ") < 2 && admin.waitForReadyRead())
        said += admin.readAll();
    return said.count("-> ") >= 2;
}
