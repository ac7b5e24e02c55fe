#pragma once

#include "TimeWindow.h"
#include "protocol/ComputerClockReader.h"

#include <QDateTime>
#include <QString>
#include <optional>

class WallClock;

// When the service sets the master clock from the computer's clock by
// itself: after three time frames in a row beyond the threshold, each within
// 10 s of the last, never by a step larger than the rule allows, inside the
// window, at most once in ten minutes (twice as long after each correction
// the master clock did not take, up to a day), never while a command holds
// the line, and only while the computer's clock is synchronized unless the
// rule says otherwise (a state the system does not tell counts as not
// synchronized). Knows nothing of the line: it is told of each time frame
// and of what became of each correction, and answers what to do.
class CorrectionPolicy {
public:
    static constexpr qint64 kDefaultMostStepUs = 60'000'000; // as sync-computer's --max-step

    struct Rule {
        qint64 aboveUs = 0; // an offset beyond this, either way, is wrong
        TimeWindow window;
        bool unsynchronizedToo = false;         // the computer's clock is the reference itself
        qint64 mostStepUs = kDefaultMostStepUs; // an offset beyond this is never corrected
    };
    enum class Verdict {
        Wait,            // the offset is within the threshold, or not for long enough yet
        Correct,         // set the master clock now
        StepTooLarge,    // it would be time, but the offset is beyond the largest step
        LineHeld,        // ... but a command holds the line
        NotSynchronized, // ... but the computer's clock is not synchronized
        OutsideWindow,   // ... but now is outside the window
        TooSoon,         // ... but the last correction is too recent
    };
    // The verdicts that hold a due correction back, each counted by its name.
    static constexpr Verdict kRefusals[] = {Verdict::StepTooLarge, Verdict::LineHeld,
                                            Verdict::NotSynchronized, Verdict::OutsideWindow,
                                            Verdict::TooSoon};

    static constexpr int kFramesBeyond = 3;
    static constexpr qint64 kMostFrameGapMs = 10'000;
    static constexpr qint64 kLeastIntervalMs = 10 * 60 * 1000;
    static constexpr qint64 kMostIntervalMs = 24 * 3600 * 1000;

    // `clock` tells when each frame is seen.
    CorrectionPolicy(const Rule& rule, const WallClock& clock) : m_rule(rule), m_clock(clock) {}

    // A time frame showing `offsetUs` (master clock minus computer clock) was
    // read just now. Correct counts as a correction made.
    Verdict frameSeen(qint64 offsetUs, bool lineHeld, ComputerClockState::Sync sync);
    // Whether the master clock took the last correction made: one that it
    // did not take doubles the least time to the next, one that it took
    // brings it back to ten minutes.
    void correctionTaken(bool taken);

    const Rule& rule() const { return m_rule; }
    // When the last correction was made; none before the first.
    std::optional<QDateTime> lastCorrection() const { return m_lastCorrection; }
    // The least time from the last correction to the next, now.
    qint64 intervalMs() const { return m_intervalMs; }

    // "step", "line_held", ...: how the metrics name a refusal.
    static QString reasonName(Verdict verdict);
    // The whole number of quarter hours within a minute of `offsetUs`, such
    // as a master clock in another time zone shows; none when it is not so
    // near one, or is near none but zero.
    static std::optional<int> quarterHoursOf(qint64 offsetUs);

private:
    Rule m_rule;
    const WallClock& m_clock;
    int m_framesBeyond = 0;
    QDateTime m_lastBeyond;
    std::optional<QDateTime> m_lastCorrection;
    qint64 m_intervalMs = kLeastIntervalMs;
};
