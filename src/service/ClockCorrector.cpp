#include "ClockCorrector.h"

#include "ClockService.h"
#include "CommandReport.h"
#include "ServiceLog.h"
#include "protocol/ComputerClockStateText.h"
#include "protocol/WallClock.h"
#include "session/ClockSession.h"

namespace {
using Verdict = CorrectionPolicy::Verdict;

// "+1.503 s".
QString seconds(double microseconds) {
    return QString::asprintf("%+.3f s", microseconds / 1e6);
}
} // namespace

ClockCorrector::ClockCorrector(ClockSession& session, ClockService& service,
                               const ComputerClockReader& computerClock, const WallClock& clock,
                               const CorrectionPolicy::Rule& rule, QObject* parent)
    : QObject(parent), m_session(session), m_service(service), m_computerClock(computerClock), m_clock(clock),
      m_policy(rule, clock) {
    connect(&session, &ClockSession::timeFrameSeen, this, &ClockCorrector::timeFrameSeen);
}

void ClockCorrector::timeFrameSeen(const TimeFrameMonitor::Sighting& sighting) {
    const ComputerClockState::Sync sync = m_computerClock.read().sync;
    const Verdict verdict = m_policy.frameSeen(sighting.offsetUs, m_session.lineHeld(), sync);
    const Verdict lastSaid = std::exchange(m_lastSaid, verdict);
    if (verdict == Verdict::Wait)
        return;
    const QString offset = QStringLiteral("Master clock %1 off, beyond %2 s in %3 time frames in a row")
                               .arg(seconds(double(sighting.offsetUs)))
                               .arg(double(m_policy.rule().aboveUs) / 1e6)
                               .arg(CorrectionPolicy::kFramesBeyond);
    if (verdict == Verdict::Correct) {
        serviceLog(offset + QStringLiteral(": setting it from the computer's clock"));
        m_service.run(
            ClockRequest::setTime(),
            [this, before = sighting.offsetUs](const ServedCommand& served) { finished(before, served); });
    } else if (verdict != lastSaid) {
        serviceLog(offset + QStringLiteral(", not corrected: ") + whyNot(verdict, sync));
    }
}

void ClockCorrector::finished(qint64 offsetBeforeUs, const ServedCommand& served) {
    if (served.refusal != ServedCommand::Refusal::None || !served.outcome.done()) {
        serviceLog(QStringLiteral("Master clock not corrected: ") +
                   (served.refusal != ServedCommand::Refusal::None
                        ? served.why
                        : CommandReport::messageOf(served.request, served.outcome)));
        return;
    }
    const std::optional<TimeFrameMonitor::Sighting>& after = served.outcome.nextTimeFrame;
    serviceLog(QStringLiteral("Master clock corrected: offset %1 before, %2")
                   .arg(seconds(double(offsetBeforeUs)),
                        after ? seconds(double(after->offsetUs)) + QStringLiteral(" after")
                              : QStringLiteral("no time frame after it within 3 s")));
    m_service.countCorrection(offsetBeforeUs, after ? std::optional(after->offsetUs) : std::nullopt);
}

QString ClockCorrector::whyNot(Verdict verdict, ComputerClockState::Sync sync) const {
    switch (verdict) {
    case Verdict::LineHeld:
        return QStringLiteral("a command holds the line");
    case Verdict::NotSynchronized:
        return QStringLiteral("the computer's clock is not synchronized (its state: %1; "
                              "--correct-unsynchronized where it is the reference itself)")
            .arg(ComputerClockStateText::name(sync));
    case Verdict::OutsideWindow:
        return QStringLiteral("%1 is outside the window %2")
            .arg(m_clock.now().time().toString(QStringLiteral("HH:mm:ss")), m_policy.rule().window.text());
    case Verdict::TooSoon:
        return QStringLiteral("the last correction was at %1, less than ten minutes ago")
            .arg(m_policy.lastCorrection()->time().toString(QStringLiteral("HH:mm:ss")));
    case Verdict::Wait:
    case Verdict::Correct:
        break;
    }
    return QString();
}
