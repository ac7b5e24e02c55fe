#pragma once

#include <QDateTime>
#include <chrono>

// The computer's local clock, as the commands read it. Tests put a clock of
// their own in its place.
class WallClock {
public:
    virtual ~WallClock() = default;
    virtual QDateTime now() const = 0;
    // Blocks the calling thread; window events do not run meanwhile.
    virtual void sleepFor(std::chrono::microseconds duration) = 0;
};

class SystemWallClock : public WallClock {
public:
    QDateTime now() const override;
    void sleepFor(std::chrono::microseconds duration) override;
};
