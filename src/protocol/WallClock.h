#pragma once

#include <QDateTime>
#include <chrono>

// The computer's local clock, as the commands read it. Tests put a clock of
// their own in its place.
class WallClock {
public:
    virtual ~WallClock() = default;
    virtual QDateTime now() const = 0;
    // The same moment in microseconds since the epoch, where the clock tells
    // them; the wait for a boundary times its naps by it.
    virtual qint64 epochMicroseconds() const { return now().toMSecsSinceEpoch() * 1000; }
    // Blocks the calling thread; window events do not run meanwhile.
    virtual void sleepFor(std::chrono::microseconds duration) = 0;
};

class SystemWallClock : public WallClock {
public:
    QDateTime now() const override;
    qint64 epochMicroseconds() const override;
    void sleepFor(std::chrono::microseconds duration) override;
};
