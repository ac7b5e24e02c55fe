#include "SecondBoundary.h"

#include "WallClock.h"

namespace {
// Sleeping ends up to a scheduler tick late; watch the clock from this far
// before the boundary.
constexpr std::chrono::microseconds kWatchWindow{2000};
} // namespace

QDateTime waitForNextSecond(WallClock& clock, int& secondMarker) {
    using namespace std::chrono;
    QDateTime reading = clock.now();
    secondMarker = reading.time().second();
    while (reading.time().second() == secondMarker) {
        const microseconds untilBoundary = milliseconds(1000 - reading.time().msec());
        clock.sleepFor(untilBoundary > kWatchWindow ? untilBoundary - kWatchWindow : microseconds(0));
        reading = clock.now();
    }
    return reading;
}
