#pragma once

#include "SystemClockSetter.h"

// Sets the computer's clock the way the desktop's own tools do: asks
// systemd-timedated over the system bus, which lets polkit ask an
// administrator once, so a normal user can set it. Where timedated is not
// there (no system bus, a container without systemd) `fallback` sets it.
class TimedatedClockSetter : public SystemClockSetter {
public:
    explicit TimedatedClockSetter(SystemClockSetter& fallback) : m_fallback(fallback) {}

    // Asks for a move relative to the clock as timedated finds it, so the
    // time timedated takes to start, or polkit to ask for a password, adds no
    // error.
    Result moveClockBy(qint64 offsetUs) override;
    bool canMoveClockBy(qint64 offsetUs) const override { return m_fallback.canMoveClockBy(offsetUs); }

private:
    SystemClockSetter& m_fallback;
};
