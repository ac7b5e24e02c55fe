#pragma once

#include "protocol/WallClock.h"

// A wall clock that stands still until a test moves it. Sleeping moves it
// forward instead of waiting, by at least 100 microseconds so that a loop
// watching the clock always gets somewhere.
class FakeClock : public WallClock {
public:
    explicit FakeClock(const QDateTime& start = QDateTime(QDate(2024, 3, 5), QTime(9, 7, 44, 600)))
        : m_now(start) {}

    QDateTime now() const override { return m_now; }
    void sleepFor(std::chrono::microseconds duration) override {
        m_microseconds += std::max<std::int64_t>(duration.count(), 100);
        m_now = m_now.addMSecs(m_microseconds / 1000);
        m_microseconds %= 1000;
    }
    void set(const QDateTime& now) { m_now = now; }

private:
    QDateTime m_now;
    std::int64_t m_microseconds = 0;
};
