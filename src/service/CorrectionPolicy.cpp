#include "CorrectionPolicy.h"

#include "protocol/WallClock.h"

namespace {
// Either way: a computer clock stepped back must not hold corrections off for hours.
qint64 msecsBetween(const QDateTime& a, const QDateTime& b) {
    return qAbs(a.msecsTo(b));
}
} // namespace

CorrectionPolicy::Verdict CorrectionPolicy::frameSeen(qint64 offsetUs, bool lineHeld,
                                                      ComputerClockState::Sync sync) {
    const QDateTime now = m_clock.now();
    if (qAbs(offsetUs) <= m_rule.aboveUs) {
        m_framesBeyond = 0;
        return Verdict::Wait;
    }
    if (m_framesBeyond > 0 && msecsBetween(m_lastBeyond, now) > kMostFrameGapMs)
        m_framesBeyond = 0;
    m_framesBeyond = qMin(m_framesBeyond + 1, kFramesBeyond);
    m_lastBeyond = now;
    if (m_framesBeyond < kFramesBeyond)
        return Verdict::Wait;
    if (lineHeld)
        return Verdict::LineHeld;
    if (sync != ComputerClockState::Sync::Synchronized && !m_rule.unsynchronizedToo)
        return Verdict::NotSynchronized;
    if (!m_rule.window.contains(now.time()))
        return Verdict::OutsideWindow;
    if (m_lastCorrection && msecsBetween(*m_lastCorrection, now) < kLeastIntervalMs)
        return Verdict::TooSoon;
    m_lastCorrection = now;
    m_framesBeyond = 0;
    return Verdict::Correct;
}
