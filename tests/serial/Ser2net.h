#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// Debian's ser2net 4 in front of serial devices, on 127.0.0.1: for each
// device an RFC 2217 port and a raw TCP port, and an admin port. One per test
// program: ser2net takes a while to let a device go between clients.
class Ser2net {
public:
    ~Ser2net();

    // Starts it and waits until it listens; why not, when it does not.
    QString start(const QStringList& devices);
    // rfc2217://127.0.0.1:PORT or socket://127.0.0.1:PORT for a device.
    QString url(int device, bool rfc2217) const;
    // Hangs up on that port's client, as a server that loses its network does.
    bool hangUp(int device, bool rfc2217);

private:
    static QString connectionName(int device, bool rfc2217);

    QTemporaryDir m_folder;
    QProcess m_process;
    QList<quint16> m_ports; // per device: RFC 2217, raw; the admin port last
};
