#include "PortWatch.h"

#include "ClockSession.h"
#include "common/RuntimeError.h"
#include "serial/PortCatalog.h"
#include "serial/PortNames.h"
#include "serial/SerialPortComponent.h"

#include <QFileInfo>
#include <QScopedValueRollback>

namespace {
constexpr int kLookIntervalMs = 1000;

// Two names of one device, such as a /dev/serial/by-id link and its target.
bool sameDevice(const QString& a, const QString& b) {
    if (a == b)
        return true;
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}
} // namespace

PortWatch::PortWatch(ClockSession& session, PortCatalog& ports, SerialDeviceFactory devices, QObject* parent)
    : QObject(parent), m_session(session), m_ports(ports), m_devices(std::move(devices)) {
    connect(&m_timer, &QTimer::timeout, this, &PortWatch::look);
    connect(&m_session.port(), &SerialPortComponent::lineLost, this, [this] { m_stale = true; });
}

void PortWatch::start() {
    m_presentDevices = m_ports.presentDevices();
    m_timer.start(kLookIntervalMs);
}

void PortWatch::look() {
    // Never under a command: what changed meanwhile shows after it.
    if (m_session.lineHeld() || m_updating)
        return;
    const QStringList present = m_ports.presentDevices();
    if (present != m_presentDevices) {
        for (const QString& device : present)
            m_deviceAppeared = m_deviceAppeared || !m_presentDevices.contains(device);
        m_presentDevices = present;
        m_stale = true;
    }
    if (!m_session.port().PortOpen() && m_reopen) {
        // A network port opens while events run.
        const QScopedValueRollback<bool> updating(m_updating, true);
        if (m_reopen()) {
            m_deviceAppeared = false;
            m_stale = true;
        }
    }
    if (!m_stale || (m_mayUpdate && !m_mayUpdate()))
        return;
    const QScopedValueRollback<bool> updating(m_updating, true);
    m_stale = false;
    if (!m_session.port().PortOpen() && std::exchange(m_deviceAppeared, false))
        emit rescanWanted();
    else
        emit refreshWanted();
    m_deviceAppeared = false;
}

QList<int> PortWatch::listedPorts() const {
    const bool open = m_session.port().PortOpen();
    const QString openDevice = open ? m_session.openLocation() : QString();
    QList<int> listed;
    for (int port = PortNames::kFirstPort; port <= PortNames::kLastPort; ++port)
        if ((open && sameDevice(m_ports.locationOfPort(port), openDevice)) || opens(port))
            listed << port;
    return listed;
}

bool PortWatch::opens(int portNumber) const {
    // A device of its own, so that the open port is not disturbed.
    try {
        const std::unique_ptr<SerialDevice> device = m_devices(portNumber);
        device->open(*LineSettings::parse(m_session.port().Settings()));
        device->close();
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}
