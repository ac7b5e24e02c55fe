#include "PortProbe.h"

#include "PortNames.h"
#include "SerialPortComponent.h"
#include "common/RuntimeError.h"

#include <optional>

namespace PortProbe {

namespace {
// Nothing when the port opens, else why not.
std::optional<RuntimeError> openFailure(SerialPortComponent& port, int portNumber) {
    try {
        if (port.PortOpen())
            port.setPortOpen(false);
        port.setCommPort(portNumber);
        port.setPortOpen(true);
        port.setPortOpen(false);
        return std::nullopt;
    } catch (const RuntimeError& error) {
        return error;
    }
}
} // namespace

bool opens(SerialPortComponent& port, int portNumber) {
    return !openFailure(port, portNumber);
}

QList<int> usablePorts(SerialPortComponent& port) {
    QList<int> usable;
    for (int number = PortNames::kFirstPort; number <= PortNames::kLastPort; ++number)
        if (opens(port, number))
            usable << number;
    return usable;
}

QList<int> presentPorts(SerialPortComponent& port) {
    QList<int> present;
    for (int number = PortNames::kFirstPort; number <= PortNames::kLastPort; ++number) {
        const std::optional<RuntimeError> failure = openFailure(port, number);
        if (!failure || failure->number() != ErrorNumber::InvalidPortNumber)
            present << number;
    }
    return present;
}

} // namespace PortProbe
