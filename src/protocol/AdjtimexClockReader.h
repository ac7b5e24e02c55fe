#pragma once

#include "ComputerClockReader.h"

#include <functional>

// The computer clock's state as the Linux kernel keeps it for the time
// service (chrony, ntpd, systemd-timesyncd), read with ntp_adjtime and no
// modes, which needs no rights. The clock is synchronized while the kernel's
// maximum error stays below 16 s, the rule of the kernel and of
// systemd-timedated; STA_UNSYNC tells nothing, as chrony without rtcsync
// leaves it set.
class AdjtimexClockReader : public ComputerClockReader {
public:
    // What the kernel answered.
    struct Answer {
        QString failure; // the system's message when the call failed; empty when it answered
        long maxErrorUs = 0;
        long estErrorUs = 0;
    };
    using Ask = std::function<Answer()>;

    // The kernel's maximum error from which the clock is not synchronized.
    static constexpr long kUnsynchronizedFromUs = 16'000'000;

    explicit AdjtimexClockReader(Ask ask) : m_ask(std::move(ask)) {}
    ComputerClockState read() const override;

#ifndef Q_OS_WIN
    static Answer askKernel();
#endif

private:
    Ask m_ask;
};
