#include "SecondBoundary.h"

#include "WallClock.h"

#include <algorithm>

namespace {
using std::chrono::microseconds;
constexpr qint64 kUsPerSecond = 1'000'000;
} // namespace

QDateTime waitForNextSecond(WallClock& clock, int& secondMarker, WakeLateness& lateness) {
    QDateTime reading = clock.now();
    secondMarker = reading.time().second();
    const qint64 boundaryUs = (reading.toSecsSinceEpoch() + 1) * kUsPerSecond;
    // Each nap halves the way to the boundary, down to the watch window: the
    // last ones are short, which a busy machine wakes on time more often, and
    // every one is measured, so even a program's first wait learns how late
    // this machine wakes now before its last nap.
    for (;;) {
        const qint64 napStartUs = clock.epochMicroseconds();
        const microseconds untilBoundary(boundaryUs - napStartUs);
        const microseconds nap = std::min(untilBoundary / 2, untilBoundary - lateness.watchWindow());
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
