#pragma once

#include "CommandReport.h"
#include "LineTraffic.h"
#include "ServiceStatus.h"
#include "protocol/FrameRecord.h"
#include "session/PortChoice.h"
#include "session/TimeFrameMonitor.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <functional>
#include <optional>
#include <vector>

class ClockSession;
class WallClock;

// The master clock behind the service: runs each command through the clock
// session in its non-blocking form, one at a time, and keeps what /status and
// /metrics show: the port, the master clock by its last time frame and the
// commands counted by outcome. Lives in the session's thread; status() may be
// asked from any thread.
class ClockService : public QObject {
    Q_OBJECT
public:
    using Answer = std::function<void(const CommandReport&)>;

    // `port`: the service's one port, as the status names it.
    ClockService(ClockSession& session, WallClock& clock, const PortChoice& port, QObject* parent = nullptr);

    // Runs one command. It is refused at once, 503 while the port is not open
    // and 409 while another command holds the line; otherwise `answer` follows
    // from the event loop when the command ends, and after a set-time, when
    // the master clock sends time frames, with the offset its next frame
    // shows (3 s at most).
    void run(const ClockRequest& request, Answer answer);

    // Everything but the computer's clock, as of now.
    ServiceStatus status() const;

    // The master clock was set by the service itself: counts it and tells of
    // it with `correction`, the offsets before and after.
    void countCorrection(const QJsonObject& correction);

signals:
    // A time frame came, the port opened or closed, the line was taken or freed.
    void changed();
    // A command ended; the body of its answer.
    void commandFinished(const QJsonObject& report);
    // The service set the master clock by itself.
    void corrected(const QJsonObject& correction);

private:
    struct FollowUp {
        quint64 id;
        Answer answer;
        CommandReport report;
    };

    void record(FrameRecord::Direction direction, const QByteArray& bytes);
    void finished(const ClockRequest& request, const ClockOutcome& outcome, const Answer& answer);
    void timeFrameSeen(const TimeFrameMonitor::Sighting& sighting);
    void endFollowUp(FollowUp followUp, const std::optional<TimeFrameMonitor::Sighting>& sighting);
    void deliver(const Answer& answer, const CommandReport& report);
    void portChanged();
    bool sendsTimeFrames() const;

    ClockSession& m_session;
    WallClock& m_clock;
    std::optional<LineTraffic> m_traffic; // of the command that holds the line
    std::vector<FollowUp> m_followUps;
    quint64 m_lastFollowUpId = 0;

    mutable QMutex m_mutex; // guards what status() reads
    ServiceStatus m_status;
    QElapsedTimer m_sinceLastFrame;
};
