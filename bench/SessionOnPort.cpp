#include "SessionOnPort.h"

#include "common/RuntimeError.h"
#include "serial/QtSerialDevice.h"

SessionOnPort::SessionOnPort() : m_port(QtSerialDevice::factory()), m_session(m_port, m_clock, &m_ports) {}

QString SessionOnPort::open(const QString& location) {
    try {
        m_session.openPort(PortChoice::named(location));
    } catch (const RuntimeError& error) {
        return QStringLiteral("cannot open %1: %2").arg(location, error.description());
    }
    return {};
}
