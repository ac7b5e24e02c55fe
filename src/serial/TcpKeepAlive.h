#pragma once

#include <QtGlobal>

// TCP keepalive timed for a serial line on the network: the systems' default
// waits two hours before the first probe, while an operator must learn
// within seconds that the master clock is out of reach.
namespace TcpKeepAlive {
// 11 s from the last byte heard to the end on Linux; 25 s on Windows, which
// sends ten probes.
constexpr int kIdleSeconds = 5;     // quiet time before the first probe
constexpr int kIntervalSeconds = 2; // between unanswered probes
constexpr int kProbes = 3;          // unanswered probes that end the connection

// Turns keepalive on for a connected socket with the times above; on Linux
// unacknowledged data also ends the connection after as long.
void apply(qintptr socketDescriptor);
} // namespace TcpKeepAlive
