#pragma once

#include "TimeWindow.h"
#include "protocol/ComputerClockReader.h"

#include <QDateTime>
#include <optional>

class WallClock;

// When the service sets the master clock from the computer's clock by
// itself: after three time frames in a row beyond the threshold, each within
// 10 s of the last, inside the window, at most once in ten minutes, never
// while a command holds the line, and only while the computer's clock is
// synchronized unless the rule says otherwise (a state the system does not
// tell counts as not synchronized). Knows nothing of the line: it is told of
// each time frame and answers what to do.
class CorrectionPolicy {
public:
    struct Rule {
        qint64 aboveUs = 0; // an offset beyond this, either way, is wrong
        TimeWindow window;
        bool unsynchronizedToo = false; // the computer's clock is the reference itself
    };
    enum class Verdict {
        Wait,            // the offset is within the threshold, or not for long enough yet
        Correct,         // set the master clock now
        LineHeld,        // it would be time, but a command holds the line
        NotSynchronized, // ... but the computer's clock is not synchronized
        OutsideWindow,   // ... but now is outside the window
        TooSoon,         // ... but the last correction was less than ten minutes ago
    };

    static constexpr int kFramesBeyond = 3;
    static constexpr qint64 kMostFrameGapMs = 10'000;
    static constexpr qint64 kLeastIntervalMs = 10 * 60 * 1000;

    // `clock` tells when each frame is seen.
    CorrectionPolicy(const Rule& rule, const WallClock& clock) : m_rule(rule), m_clock(clock) {}

    // A time frame showing `offsetUs` (master clock minus computer clock) was
    // read just now. Correct counts as a correction made.
    Verdict frameSeen(qint64 offsetUs, bool lineHeld, ComputerClockState::Sync sync);

    const Rule& rule() const { return m_rule; }
    // When the last correction was made; none before the first.
    std::optional<QDateTime> lastCorrection() const { return m_lastCorrection; }

private:
    Rule m_rule;
    const WallClock& m_clock;
    int m_framesBeyond = 0;
    QDateTime m_lastBeyond;
    std::optional<QDateTime> m_lastCorrection;
};
