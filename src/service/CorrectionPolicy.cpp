#include "CorrectionPolicy.h"

#include "protocol/WallClock.h"

namespace {
constexpr qint64 kQuarterHourUs = 15 * 60 * 1'000'000LL;
constexpr qint64 kNearUs = 60 * 1'000'000LL;

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
    if (qAbs(offsetUs) > m_rule.mostStepUs)
        return Verdict::StepTooLarge;
    if (lineHeld)
        return Verdict::LineHeld;
    if (sync != ComputerClockState::Sync::Synchronized && !m_rule.unsynchronizedToo)
        return Verdict::NotSynchronized;
    if (!m_rule.window.contains(now.time()))
        return Verdict::OutsideWindow;
    if (m_lastCorrection && msecsBetween(*m_lastCorrection, now) < m_intervalMs)
        return Verdict::TooSoon;
    m_lastCorrection = now;
    m_framesBeyond = 0;
    return Verdict::Correct;
}

void CorrectionPolicy::correctionTaken(bool taken) {
    m_intervalMs = taken ? kLeastIntervalMs : qMin(m_intervalMs * 2, kMostIntervalMs);
}

QString CorrectionPolicy::reasonName(Verdict verdict) {
    switch (verdict) {
    case Verdict::StepTooLarge:
        return QStringLiteral("step");
    case Verdict::LineHeld:
        return QStringLiteral("line_held");
    case Verdict::NotSynchronized:
        return QStringLiteral("not_synchronized");
    case Verdict::OutsideWindow:
        return QStringLiteral("outside_window");
    case Verdict::TooSoon:
        return QStringLiteral("too_soon");
    case Verdict::Wait:
    case Verdict::Correct:
        break;
    }
    return QString();
}

std::optional<int> CorrectionPolicy::quarterHoursOf(qint64 offsetUs) {
    const qint64 quarters =
        (offsetUs + (offsetUs < 0 ? -kQuarterHourUs : kQuarterHourUs) / 2) / kQuarterHourUs;
    if (quarters == 0 || qAbs(offsetUs - quarters * kQuarterHourUs) > kNearUs)
        return std::nullopt;
    return int(quarters);
}
