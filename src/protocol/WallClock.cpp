#include "WallClock.h"

#include <thread>

QDateTime SystemWallClock::now() const {
    return QDateTime::currentDateTime();
}

qint64 SystemWallClock::epochMicroseconds() const {
    // The clock QDateTime::currentDateTime() reads, to the microsecond.
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void SystemWallClock::sleepFor(std::chrono::microseconds duration) {
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}
