#include "ClockService.h"

#include "ServiceLog.h"
#include "protocol/CommandTexts.h"
#include "protocol/Frames.h"
#include "protocol/WallClock.h"
#include "schedule/TimeText.h"
#include "serial/SerialPortComponent.h"
#include "session/ClockSession.h"

#include <QJsonArray>
#include <QTimer>

namespace {
// How long a set-time waits for the master clock's next time frame: the
// clock's next second boundary, with room for a slow frame.
constexpr int kFollowUpMs = 3000;
// A clock whose last time frame came this recently sends them.
constexpr qint64 kSendsTimeFramesMs = 5000;
} // namespace

ClockService::ClockService(ClockSession& session, WallClock& clock, const PortChoice& port, QObject* parent)
    : QObject(parent), m_session(session), m_clock(clock) {
    m_status.portName = port.name();
    m_status.device = port.device;
    connect(&session, &ClockSession::frameSent, this,
            [this](const QByteArray& bytes) { record(FrameRecord::Direction::Sent, bytes); });
    connect(&session, &ClockSession::frameReceived, this,
            [this](const QByteArray& bytes) { record(FrameRecord::Direction::Received, bytes); });
    connect(&session, &ClockSession::frameFlushed, this,
            [this](const QByteArray& bytes) { record(FrameRecord::Direction::Flushed, bytes); });
    connect(&session, &ClockSession::timeFrameSeen, this, &ClockService::timeFrameSeen);
    connect(&session, &ClockSession::lineHeldChanged, this, [this](bool held) {
        {
            const QMutexLocker locker(&m_mutex);
            m_status.lineHeld = held;
        }
        emit changed();
    });
    for (auto change : {&SerialPortComponent::opened, &SerialPortComponent::closed})
        connect(&session.port(), change, this, &ClockService::portChanged);
    portChanged();
}

void ClockService::run(const ClockRequest& request, Answer answer) {
    try {
        m_session.port().requireOpen();
    } catch (const RuntimeError& error) {
        return answer(CommandReport::refusal(503, CommandTexts::errorReport(error)));
    }
    const bool started = m_session.start(request, [this, request, answer](const ClockOutcome& outcome) {
        finished(request, outcome, answer);
    });
    if (!started)
        return answer(
            CommandReport::refusal(409, QStringLiteral("Another command holds the line; try again when "
                                                       "it has ended")));
    // The exchange begins from the event loop: its first frame comes after this.
    m_traffic.emplace();
}

ServiceStatus ClockService::status() const {
    const QMutexLocker locker(&m_mutex);
    ServiceStatus status = m_status;
    if (status.lastTimeFrame)
        status.lastTimeFrame->ageMs = m_sinceLastFrame.elapsed();
    return status;
}

void ClockService::countCorrection(const QJsonObject& correction) {
    {
        const QMutexLocker locker(&m_mutex);
        ++m_status.corrections;
    }
    emit corrected(correction);
}

void ClockService::record(FrameRecord::Direction direction, const QByteArray& bytes) {
    // Time frames between commands are the status's, not a command's.
    if (!m_traffic)
        return;
    m_traffic->lines << FrameRecord::line(m_clock.now(), direction, m_session.portLabel(),
                                          LineSettings::parse(m_session.port().Settings())->baudRate, bytes);
    if (direction == FrameRecord::Direction::Sent)
        m_traffic->sent << Frames::hexText(bytes);
    else if (direction == FrameRecord::Direction::Received)
        m_traffic->received << Frames::hexText(bytes);
}

void ClockService::finished(const ClockRequest& request, const ClockOutcome& outcome, const Answer& answer) {
    CommandReport report = CommandReport::of(request, outcome, *std::exchange(m_traffic, std::nullopt));
    {
        const QMutexLocker locker(&m_mutex);
        ++m_status.commands[{CommandReport::commandName(request.kind),
                             CommandReport::outcomeName(outcome.status)}];
    }
    const bool followed = request.kind == ClockRequest::Kind::SetTime && outcome.done();
    if (followed && sendsTimeFrames()) {
        const quint64 id = ++m_lastFollowUpId;
        m_followUps.push_back({id, answer, report});
        QTimer::singleShot(kFollowUpMs, this, [this, id] {
            for (auto waiting = m_followUps.begin(); waiting != m_followUps.end(); ++waiting)
                if (waiting->id == id) {
                    FollowUp followUp = std::move(*waiting);
                    m_followUps.erase(waiting);
                    return endFollowUp(std::move(followUp), std::nullopt);
                }
        });
        return;
    }
    if (followed)
        report.body.insert(QStringLiteral("masterClock"), QJsonValue::Null);
    deliver(answer, report);
}

void ClockService::timeFrameSeen(const TimeFrameMonitor::Sighting& sighting) {
    {
        const QMutexLocker locker(&m_mutex);
        m_status.lastTimeFrame = ServiceStatus::TimeFrame{sighting.clockTime, sighting.offsetUs, 0};
        ++m_status.timeFrames;
        m_sinceLastFrame.start();
    }
    for (FollowUp& followUp : std::exchange(m_followUps, {}))
        endFollowUp(std::move(followUp), sighting);
    emit changed();
}

void ClockService::endFollowUp(FollowUp followUp, const std::optional<TimeFrameMonitor::Sighting>& sighting) {
    QJsonValue masterClock(QJsonValue::Null);
    if (sighting)
        masterClock = QJsonObject{{QStringLiteral("time"), TimeText::format(sighting->clockTime)},
                                  {QStringLiteral("offsetMs"), double(sighting->offsetUs) / 1000.0}};
    followUp.report.body.insert(QStringLiteral("masterClock"), masterClock);
    deliver(followUp.answer, followUp.report);
}

void ClockService::deliver(const Answer& answer, const CommandReport& report) {
    const QJsonObject& body = report.body;
    const QString said = body.value(body.contains(QStringLiteral("error")) ? QStringLiteral("error")
                                                                           : QStringLiteral("message"))
                             .toString();
    QStringList lines{QStringLiteral("%1 %2%3").arg(
        body.value(QStringLiteral("command")).toString(), body.value(QStringLiteral("outcome")).toString(),
        said.isEmpty() ? QString() : QStringLiteral(": ") + said)};
    for (const QJsonValue& frame : body.value(QStringLiteral("frames")).toArray())
        lines << QStringLiteral("  ") + frame.toString();
    serviceLog(lines.join(QLatin1Char('\n')));
    emit commandFinished(body);
    answer(report);
}

void ClockService::portChanged() {
    {
        const QMutexLocker locker(&m_mutex);
        m_status.portOpen = m_session.port().PortOpen();
        m_status.baudRate = LineSettings::parse(m_session.port().Settings())->baudRate;
    }
    emit changed();
}

bool ClockService::sendsTimeFrames() const {
    const QMutexLocker locker(&m_mutex);
    return m_status.lastTimeFrame && m_sinceLastFrame.elapsed() <= kSendsTimeFramesMs;
}
