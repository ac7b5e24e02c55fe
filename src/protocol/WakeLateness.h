#pragma once

#include <array>
#include <chrono>
#include <mutex>

// How late the naps before second boundaries ended lately. An idle virtual
// CPU wakes a millisecond or two late, a busy machine several: the clock is
// watched from as far before a boundary as the latest of the recent wakes (and
// a margin), so that a nap as late as those still ends before it. Safe to use
// from several threads.
class WakeLateness {
public:
    // Never less, for the jitter of a single wake; never more, as a machine
    // that busy would also interrupt the watch, and watching costs a core.
    static constexpr std::chrono::microseconds kSmallestWindow{2000};
    static constexpr std::chrono::microseconds kLargestWindow{20000};
    static constexpr std::chrono::microseconds kMargin{1000};

    // The waits of this program: they all share its machine.
    static WakeLateness& ofProgram();

    void record(std::chrono::microseconds lateness);
    // How long before a boundary the clock is to be watched.
    std::chrono::microseconds watchWindow() const;

private:
    // About the naps of the last few waits.
    static constexpr std::size_t kKept = 32;

    mutable std::mutex m_mutex;
    std::array<std::chrono::microseconds, kKept> m_recent{};
    std::size_t m_next = 0;
};
