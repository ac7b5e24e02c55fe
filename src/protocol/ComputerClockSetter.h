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
    Result setTimeOfDay(const QTime& time) override {
#ifdef VARO_TIMEDATED
        return m_timedated.setTimeOfDay(time);
#else
        return m_shell.setTimeOfDay(time);
#endif
    }

private:
    ShellClockSetter m_shell;
#ifdef VARO_TIMEDATED
    TimedatedClockSetter m_timedated{m_shell};
#endif
};
