#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// Debian's ser2net 4 in front of serial devices: for each device an RFC 2217
// port and a raw TCP port, and an admin port. One per test program: ser2net
// takes a while to let a device go between clients.
class Ser2net {
public:
    // Where it runs and how it takes clients: on 127.0.0.1, or on `host` in
    // the network namespace `netns`; with kickOldUser a new client takes a
    // port from the one before, as docs/network-ports.md advises.
    struct Place {
        QString netns;
        QString host = QStringLiteral("127.0.0.1");
        bool kickOldUser = false;
    };

    Ser2net() = default;
    explicit Ser2net(const Place& place) : m_place(place) {}
    ~Ser2net();

    // Starts it and waits until it listens; why not, when it does not.
    QString start(const QStringList& devices);
    // Ends it, as a server that is switched off, and starts it again on the same ports.
    void stop();
    QString restart();
    // rfc2217://HOST:PORT or socket://HOST:PORT for a device.
    QString url(int device, bool rfc2217) const;
    // Hangs up on that port's client, as a server that loses its network does.
    bool hangUp(int device, bool rfc2217);

private:
    static QString connectionName(int device, bool rfc2217);
    bool listens(quint16 port);

    Place m_place;
    QTemporaryDir m_folder;
    QProcess m_process;
    QList<quint16> m_ports; // per device: RFC 2217, raw; the admin port last
};
