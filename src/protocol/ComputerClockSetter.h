#pragma once

#include "SystemClockSetter.h"
#ifdef VARO_TIMEDATED
#include "TimedatedClockSetter.h"
#endif

// The computer's clock setter as the programs use it for real: on Linux
// systemd-timedated, falling back to the shell's command where timedated is
// not there; elsewhere the shell's command.
class ComputerClockSetter : public SystemClockSetter {
public:
    explicit ComputerClockSetter(const WallClock& clock) : m_shell(clock) {}

    Result moveClockBy(qint64 offsetUs) override { return m_setter.moveClockBy(offsetUs); }
    bool canMoveClockBy(qint64 offsetUs) const override { return m_setter.canMoveClockBy(offsetUs); }

private:
    ShellClockSetter m_shell;
#ifdef VARO_TIMEDATED
    TimedatedClockSetter m_timedated{m_shell};
    SystemClockSetter& m_setter = m_timedated;
#else
    SystemClockSetter& m_setter = m_shell;
#endif
};
