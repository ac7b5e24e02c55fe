#include "WallClock.h"

#include <thread>

QDateTime SystemWallClock::now() const {
    return QDateTime::currentDateTime();
}

void SystemWallClock::sleepFor(std::chrono::microseconds duration) {
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}
