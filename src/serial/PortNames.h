#pragma once

#include <QString>

// Maps the port numbers 1..16 of the port list to the devices of this
// platform. VARO_CLOCK_COM<n> in the environment replaces the device of port n.
namespace PortNames {
constexpr int kFirstPort = 1;
constexpr int kLastPort = 16;

QString deviceForPort(int portNumber);
} // namespace PortNames
