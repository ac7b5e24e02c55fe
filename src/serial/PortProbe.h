#pragma once

#include <QList>

class SerialPortComponent;

// Which of the ports 1..16 can be used: a port counts exactly when it opens
// and closes again. Probing leaves the component closed.
namespace PortProbe {

// Tries one port; any failure counts as unusable, without a word.
bool opens(SerialPortComponent& port, int portNumber);

// Every usable port, in increasing number.
QList<int> usablePorts(SerialPortComponent& port);

// Every port whose device is there: usable, or failing to open for another
// reason than being missing (held by another program, no permission).
QList<int> presentPorts(SerialPortComponent& port);

} // namespace PortProbe
