#pragma once

#include "serial/SerialDevice.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

class ClockSession;
class PortCatalog;

// Follows serial devices as they are plugged in and out and decides what the
// port list should do about it, never under a command: with no port open, a
// new device is taken as at start-up; otherwise the list is rebuilt and an
// open port that is still there stays open.
class PortWatch : public QObject {
    Q_OBJECT
public:
    // `devices` makes devices of the numbered ports, to probe them without
    // disturbing the open one.
    PortWatch(ClockSession& session, PortCatalog& ports, SerialDeviceFactory devices,
              QObject* parent = nullptr);

    // Looks every second from now on.
    void start();
    // Whether the list may change now; the window says no while the operator
    // edits the port box or has its list open. Asked only when it should.
    void setMayUpdate(std::function<bool()> mayUpdate) { m_mayUpdate = std::move(mayUpdate); }
    // Asked first whenever no port is open: whether a lost port was opened
    // again (the port keeper's). The list then shows it instead of a scan.
    void setReopen(std::function<bool()> reopen) { m_reopen = std::move(reopen); }

    // The ports 1..16 the list shows: each that can be opened, and the open
    // one, which cannot be opened twice.
    QList<int> listedPorts() const;

signals:
    // No port is open and a device came: scan the ports as at start-up.
    void rescanWanted();
    // The list no longer matches the devices: rebuild it from listedPorts().
    void refreshWanted();

private:
    void look();
    bool opens(int portNumber) const;

    ClockSession& m_session;
    PortCatalog& m_ports;
    SerialDeviceFactory m_devices;
    std::function<bool()> m_mayUpdate;
    std::function<bool()> m_reopen;
    QTimer m_timer;
    QStringList m_presentDevices;
    bool m_stale = false;
    bool m_deviceAppeared = false;
    bool m_updating = false;
};
