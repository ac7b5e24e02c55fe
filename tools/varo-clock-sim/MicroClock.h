#pragma once

#include <QtGlobal>

// The computer's wall clock in microseconds since the epoch. Every log time
// stamp and every send and receive time of the simulator is read from here.
// The wall clock can be stepped (set by hand, by a time server); durations
// are measured on the monotonic clock, which never is.
namespace MicroClock {

qint64 nowUs();
// Microseconds since some fixed moment, never stepped.
qint64 monotonicUs();

// Busy-waits until the wall clock reaches `targetUs`, for the last moments
// before a second boundary, where a timer would be too coarse; for at most
// `limitUs` of monotonic time. False when the limit ran out first: the wall
// clock was stepped back.
bool spinUntil(qint64 targetUs, qint64 limitUs);

} // namespace MicroClock
