#include "SecondBoundary.h"

#include "WallClock.h"

#include <algorithm>

namespace {
using std::chrono::microseconds;
// The sleep before the watch is cut into naps no longer than this, and each
// one's lateness is measured: even a program's first wait learns how late
// this machine wakes now, before its last nap.
constexpr microseconds kLongestNap{20000};
constexpr qint64 kUsPerSecond = 1'000'000;
} // namespace

QDateTime waitForNextSecond(WallClock& clock, int& secondMarker, WakeLateness& lateness) {
    QDateTime reading = clock.now();
    secondMarker = reading.time().second();
    const qint64 boundaryUs = (reading.toSecsSinceEpoch() + 1) * kUsPerSecond;
    for (;;) {
        const qint64 napStartUs = clock.epochMicroseconds();
        const microseconds nap =
            std::min(kLongestNap, microseconds(boundaryUs - napStartUs) - lateness.watchWindow());
        if (nap <= microseconds(0))
            break;
        clock.sleepFor(nap);
        lateness.record(microseconds(clock.epochMicroseconds() - napStartUs) - nap);
    }
    reading = clock.now();
    while (reading.time().second() == secondMarker) {
        clock.sleepFor(microseconds(0));
        reading = clock.now();
    }
    return reading;
}
