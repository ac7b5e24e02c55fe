#pragma once

#include "SystemClockSetter.h"

#include <QDate>

// Sets the computer's clock the way the desktop's own tools do: asks
// systemd-timedated over the system bus, which lets polkit ask an
// administrator once, so a normal user can set it. Where timedated is not
// there (no system bus, a container without systemd) `fallback` sets it.
class TimedatedClockSetter : public SystemClockSetter {
public:
    explicit TimedatedClockSetter(SystemClockSetter& fallback) : m_fallback(fallback) {}

    // Asks for today's date at `time` plus half a second, local time.
    Result setTimeOfDay(const QTime& time) override;

    // The moment timedated is asked to set: `time` and half a second on
    // `date` in the local time zone, in microseconds since the epoch (UTC).
    static qint64 utcMicroseconds(const QDate& date, const QTime& time);

private:
    SystemClockSetter& m_fallback;
};
