#pragma once

#include <QString>

// Maps the port numbers 1..16 of the port list to the devices of this
// platform. VARO_CLOCK_COM<n> in the environment replaces the device of port n.
namespace PortNames {
constexpr int kFirstPort = 1;
constexpr int kLastPort = 16;

QString deviceForPort(int portNumber);

// Whether an operator's typed text has the form of a serial device's name: a
// path under /dev (/dev/ttyUSB3, /dev/serial/by-id/..., /dev/pts/7) as on
// Linux, COMn and \\.\COMn as on Windows, or a network port
// (rfc2217://HOST:PORT, socket://HOST:PORT). Whether it exists shows when it
// is opened. Blanks around the text do not count.
bool isDeviceName(const QString& text);
} // namespace PortNames
