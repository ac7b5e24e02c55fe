#pragma once

#include "CorrectionPolicy.h"
#include "session/TimeFrameMonitor.h"

#include <QObject>

class ClockService;
class ClockSession;
struct ServedCommand;

// Keeps the master clock right: asks the correction policy at each of the
// clock's time frames and, when it says so, runs a set-time through the
// service like any other command, then checks by the clock's next time frame
// that the clock took it. Says on standard error its rule at the start, why it
// corrects, the offset before and the one after, whether the clock took it,
// and, once each time, why it holds back a correction that is due.
class ClockCorrector : public QObject {
    Q_OBJECT
public:
    ClockCorrector(ClockSession& session, ClockService& service, const ComputerClockReader& computerClock,
                   const WallClock& clock, const CorrectionPolicy::Rule& rule, QObject* parent = nullptr);

private:
    void timeFrameSeen(const TimeFrameMonitor::Sighting& sighting);
    void finished(qint64 offsetBeforeUs, const ServedCommand& served);
    QString whyNot(CorrectionPolicy::Verdict verdict, qint64 offsetUs, ComputerClockState::Sync sync) const;

    ClockSession& m_session;
    ClockService& m_service;
    const ComputerClockReader& m_computerClock;
    const WallClock& m_clock;
    CorrectionPolicy m_policy;
    CorrectionPolicy::Verdict m_lastSaid = CorrectionPolicy::Verdict::Wait;
};
