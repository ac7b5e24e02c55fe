#pragma once

#include "LineTraffic.h"
#include "ServiceStatus.h"
#include "protocol/FrameRecord.h"
#include "session/ClockOutcome.h"
#include "session/ClockRequest.h"
#include "session/PortChoice.h"
#include "session/TimeFrameMonitor.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class ClockSession;
class WallClock;

// What became of one command the service was asked to run.
struct ServedCommand {
    // Refused before it reached the line, and why.
    enum class Refusal { None, PortClosed, LineHeld, NeedsForce };
    Refusal refusal = Refusal::None;
    QString why;

    ClockRequest request;
    ClockOutcome outcome; // a set time's with the master clock's next time frame
    LineTraffic traffic;  // what the command put on the line and took from it
};
Q_DECLARE_METATYPE(ServedCommand)

// The master clock behind the service: runs each command through the clock
// session in its non-blocking form, one at a time, and keeps what /status and
// /metrics show: the port, the master clock by its last time frame and the
// commands counted by outcome. Lives in the session's thread; status() may be
// asked from any thread.
class ClockService : public QObject {
    Q_OBJECT
public:
    using Answer = std::function<void(const ServedCommand&)>;

    // `port`: the service's one port, as the status names it.
    ClockService(ClockSession& session, WallClock& clock, const PortChoice& port, QObject* parent = nullptr);

    // Runs one command. It is refused at once while the port is not open or
    // another command holds the line; otherwise `answer` follows from the
    // event loop when the command ends; a set time is confirmed by the
    // master clock's next time frame, when the clock sends them.
    void run(ClockRequest request, Answer answer);

    // Everything but the computer's clock, as of now.
    ServiceStatus status() const;

    // The master clock was set by the service itself, from `offsetBeforeUs`
    // to `offsetAfterUs` (none: no time frame told), and took it or not:
    // counts it and tells of it.
    void countCorrection(qint64 offsetBeforeUs, std::optional<qint64> offsetAfterUs, bool taken);
    // A correction due was held back for `reason` (CorrectionPolicy::reasonName).
    void countCorrectionRefusal(const QString& reason);
    // From now on a typed time is refused, saying `why`, unless its request
    // is forced (the master clock is a reference that a typed time would move).
    void refuseUnforcedTypedTimes(const QString& why);

signals:
    // A time frame came, the port opened or closed, the line was taken or freed.
    void changed();
    // A command ended.
    void commandFinished(const ServedCommand& command);
    // The service set the master clock by itself.
    void corrected(qint64 offsetBeforeUs, std::optional<qint64> offsetAfterUs, bool taken);

private:
    void record(FrameRecord::Direction direction, const QByteArray& bytes);
    void finished(ServedCommand served, const Answer& answer);
    void timeFrameSeen(const TimeFrameMonitor::Sighting& sighting);
    void portChanged();

    ClockSession& m_session;
    WallClock& m_clock;
    std::shared_ptr<LineTraffic> m_traffic; // of the command that holds the line
    QString m_typedTimeRefusal;             // empty: typed times are run

    mutable QMutex m_mutex; // guards what status() reads
    ServiceStatus m_status;
    QElapsedTimer m_sinceLastFrame;
};
