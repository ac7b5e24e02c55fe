#pragma once

#include <QMutex>
#include <array>
#include <chrono>

// How late the naps before second boundaries ended lately. An idle virtual
// CPU wakes a millisecond or two late, every time: the clock is watched from
// as far before a boundary as the recent naps were late, and a margin, so
// that a nap as late as those still ends before it. A busy machine wakes a
// nap a scheduler tick late now and then; such a lone wake is not followed,
// nor is the watch made longer than a few milliseconds: a thread that watches
// the clock for longer than the scheduler lets it run is put aside for
// milliseconds, as often as not right at the boundary. Safe to use from
// several threads.
class WakeLateness {
public:
    static constexpr std::chrono::microseconds kSmallestWindow{2000};
    static constexpr std::chrono::microseconds kLargestWindow{5000};
    static constexpr std::chrono::microseconds kMargin{1000};

    // The waits of this program: they all share its machine.
    static WakeLateness& ofProgram();

    void record(std::chrono::microseconds lateness);
    // How long before a boundary the clock is to be watched: the margin above
    // the latest wake of the recent naps but one.
    std::chrono::microseconds watchWindow() const;

private:
    // The naps of the last two or three waits.
    static constexpr std::size_t kKept = 16;

    mutable QMutex m_mutex;
    std::array<std::chrono::microseconds, kKept> m_recent{};
    std::size_t m_next = 0;
};
