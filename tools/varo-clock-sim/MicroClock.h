#pragma once

#include <QtGlobal>

// The computer's wall clock in microseconds since the epoch. Every log time
// stamp and every send and receive time of the simulator is read from here.
namespace MicroClock {

qint64 nowUs();

// Busy-waits until the wall clock reaches `targetUs`; for the last moments
// before a second boundary, where a timer would be too coarse.
void spinUntil(qint64 targetUs);

} // namespace MicroClock
