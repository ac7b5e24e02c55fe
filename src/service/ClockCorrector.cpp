#include "ClockCorrector.h"

#include "ClockService.h"
#include "CommandReport.h"
#include "ServiceLog.h"
#include "protocol/CommandTexts.h"
#include "protocol/ComputerClockStateText.h"
#include "protocol/WallClock.h"
#include "session/ClockSession.h"
#include "session/OffsetModel.h"

namespace {
using Verdict = CorrectionPolicy::Verdict;

// "+1.503 s".
QString seconds(double microseconds) {
    return QString::asprintf("%+.3f s", microseconds / 1e6);
}

// "10 minutes", "1440 minutes".
QString minutes(qint64 ms) {
    return QStringLiteral("%1 minutes").arg(ms / 60'000);
}

// "+8 h", "-5 h 30 min", "+45 min": a number of quarter hours.
QString quarterHoursText(int quarters) {
    const int hours = qAbs(quarters) / 4;
    const int rest = qAbs(quarters) % 4 * 15;
    QStringList parts;
    if (hours > 0)
        parts << QStringLiteral("%1 h").arg(hours);
    if (rest > 0)
        parts << QStringLiteral("%1 min").arg(rest);
    return (quarters < 0 ? QStringLiteral("-") : QStringLiteral("+")) + parts.join(QLatin1Char(' '));
}

// What a master clock this far off likely has wrong: its date, whole days
// off, or its time zone, its time of day within a minute of whole quarter
// hours off; empty when neither.
QString likelyCause(qint64 offsetUs) {
    const qint64 timeOfDayUs = OffsetModel::timeOfDayPart(offsetUs);
    const qint64 days = (offsetUs - timeOfDayUs) / OffsetModel::kDayUs;
    QStringList causes;
    if (days != 0)
        causes << QStringLiteral("its date is %1 %2 %3 the computer's")
                      .arg(qAbs(days))
                      .arg(qAbs(days) == 1 ? QStringLiteral("day") : QStringLiteral("days"))
                      .arg(days > 0 ? QStringLiteral("ahead of") : QStringLiteral("behind"));
    if (const std::optional<int> quarters = CorrectionPolicy::quarterHoursOf(timeOfDayUs))
        causes << QStringLiteral(
                      "its time of day is within a minute of %1 off: likely a time zone other than "
                      "this computer's")
                      .arg(quarterHoursText(*quarters));
    return causes.isEmpty() ? QString() : QStringLiteral("; ") + causes.join(QStringLiteral("; "));
}
} // namespace

ClockCorrector::ClockCorrector(ClockSession& session, ClockService& service,
                               const ComputerClockReader& computerClock, const WallClock& clock,
                               const CorrectionPolicy::Rule& rule, QObject* parent)
    : QObject(parent), m_session(session), m_service(service), m_computerClock(computerClock), m_clock(clock),
      m_policy(rule, clock) {
    connect(&session, &ClockSession::timeFrameSeen, this, &ClockCorrector::timeFrameSeen);
    serviceLog(QStringLiteral(
                   "The master clock is set from the computer's clock when it is beyond %1 s in %2 "
                   "time frames in a row, in the hours %3, by a step of at most %4 s, at most once in %5, "
                   "%6")
                   .arg(double(rule.aboveUs) / 1e6)
                   .arg(CorrectionPolicy::kFramesBeyond)
                   .arg(rule.window.text())
                   .arg(double(rule.mostStepUs) / 1e6)
                   .arg(minutes(CorrectionPolicy::kLeastIntervalMs),
                        rule.unsynchronizedToo
                            ? QStringLiteral("whether or not the computer's clock is "
                                             "synchronized")
                            : QStringLiteral("while the computer's clock is synchronized")));
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
        serviceLog(offset + QStringLiteral(", not corrected: ") + whyNot(verdict, sighting.offsetUs, sync));
        m_service.countCorrectionRefusal(CorrectionPolicy::reasonName(verdict));
    }
}

void ClockCorrector::finished(qint64 offsetBeforeUs, const ServedCommand& served) {
    const bool ran = served.refusal == ServedCommand::Refusal::None && served.outcome.done();
    const std::optional<TimeFrameMonitor::Sighting> after = ran ? served.outcome.nextTimeFrame : std::nullopt;
    const bool taken = after && qAbs(after->offsetUs) <= m_policy.rule().aboveUs;
    m_policy.correctionTaken(taken);
    m_service.countCorrection(offsetBeforeUs, after ? std::optional(after->offsetUs) : std::nullopt, taken);
    const QString before = seconds(double(offsetBeforeUs)) + QStringLiteral(" before, ");
    if (taken)
        return serviceLog(QStringLiteral("Master clock corrected: offset %1%2 after")
                              .arg(before, seconds(double(after->offsetUs))));
    const QString what = !ran    ? (served.refusal != ServedCommand::Refusal::None
                                        ? served.why
                                        : CommandReport::messageOf(served.request, served.outcome))
                         : after ? QStringLiteral("offset %1%2 after, still beyond %3 s")
                                       .arg(before, seconds(double(after->offsetUs)))
                                       .arg(double(m_policy.rule().aboveUs) / 1e6)
                                 : QStringLiteral("offset %1no time frame after it").arg(before);
    serviceLog(QStringLiteral("Master clock correction not taken: %1; the next try in %2 at the earliest")
                   .arg(what, minutes(m_policy.intervalMs())));
}

QString ClockCorrector::whyNot(Verdict verdict, qint64 offsetUs, ComputerClockState::Sync sync) const {
    switch (verdict) {
    case Verdict::StepTooLarge:
        return QStringLiteral("a step of %1 is beyond --correct-max-step %2 s")
                   .arg(CommandTexts::clockStep(offsetUs))
                   .arg(double(m_policy.rule().mostStepUs) / 1e6) +
               likelyCause(offsetUs);
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
        return QStringLiteral("the last correction was at %1, less than %2 ago%3")
            .arg(m_policy.lastCorrection()->time().toString(QStringLiteral("HH:mm:ss")),
                 minutes(m_policy.intervalMs()),
                 m_policy.intervalMs() > CorrectionPolicy::kLeastIntervalMs
                     ? QStringLiteral(
                           " (the wait doubles after each correction the master clock did not take)")
                     : QString());
    case Verdict::Wait:
    case Verdict::Correct:
        break;
    }
    return QString();
}
