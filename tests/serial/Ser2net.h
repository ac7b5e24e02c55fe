#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// Debian's ser2net 4 in front of serial devices: for each device an RFC 2217
// port and a raw TCP port, and an admin port. One per test program: ser2net
// takes a while to let a device go between clients.
class Ser2net {
public:
    // On 127.0.0.1, or on `host` in the network namespace `netns`, where a
    // new client takes a port from the one before, as docs/network-ports.md
    // advises for links that die.
    explicit Ser2net(const QString& netns = {}, const QString& host = QStringLiteral("127.0.0.1"))
        : m_netns(netns), m_host(host) {}
    ~Ser2net();

    // Starts it and waits until it listens; why not, when it does not.
    QString start(const QStringList& devices);
    // rfc2217://HOST:PORT or socket://HOST:PORT for a device.
    QString url(int device, bool rfc2217) const;
    // Hangs up on that port's client, as a server that loses its network does.
    bool hangUp(int device, bool rfc2217);

private:
    static QString connectionName(int device, bool rfc2217);
    bool listens(quint16 port);

    QString m_netns;
    QString m_host;
    QTemporaryDir m_folder;
    QProcess m_process;
    QList<quint16> m_ports; // per device: RFC 2217, raw; the admin port last
};
