#include "PortProbe.h"

#include "PortNames.h"
#include "SerialPortComponent.h"
#include "common/RuntimeError.h"

namespace PortProbe {

bool opens(SerialPortComponent& port, int portNumber) {
    try {
        if (port.PortOpen())
            port.setPortOpen(false);
        port.setCommPort(portNumber);
        port.setPortOpen(true);
        port.setPortOpen(false);
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

QList<int> usablePorts(SerialPortComponent& port) {
    QList<int> usable;
    for (int number = PortNames::kFirstPort; number <= PortNames::kLastPort; ++number)
        if (opens(port, number))
            usable << number;
    return usable;
}

} // namespace PortProbe
