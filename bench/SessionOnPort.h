#pragma once

#include "protocol/WallClock.h"
#include "serial/SerialPortComponent.h"
#include "serial/SystemPortCatalog.h"
#include "session/ClockSession.h"

// The clock session on a port named as an operator names it (a device, an
// rfc2217:// or socket:// address), with the real serial component and the
// computer's clock, as the command line and the service hold it.
class SessionOnPort {
public:
    SessionOnPort();

    // Why the port does not open, or nothing.
    QString open(const QString& location);
    ClockSession& session() { return m_session; }

private:
    SystemWallClock m_clock;
    SystemPortCatalog m_ports;
    SerialPortComponent m_port;
    ClockSession m_session;
};
