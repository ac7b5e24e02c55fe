#include "ClockService.h"

#include "CommandReport.h"
#include "CorrectionPolicy.h"
#include "ServiceLog.h"
#include "protocol/CommandTexts.h"
#include "protocol/Frames.h"
#include "protocol/WallClock.h"
#include "serial/SerialPortComponent.h"
#include "session/ClockCommand.h"
#include "session/ClockSession.h"

ClockService::ClockService(ClockSession& session, WallClock& clock, const PortChoice& port, QObject* parent)
    : QObject(parent), m_session(session), m_clock(clock) {
    m_status.portName = port.name();
    m_status.device = port.device;
    for (const CorrectionPolicy::Verdict refusal : CorrectionPolicy::kRefusals)
        m_status.correctionRefusals.insert(CorrectionPolicy::reasonName(refusal), 0);
    connect(&session, &ClockSession::frameSent, this,
            [this](const QByteArray& bytes) { record(FrameRecord::Direction::Sent, bytes); });
    connect(&session, &ClockSession::frameReceived, this,
            [this](const QByteArray& bytes) { record(FrameRecord::Direction::Received, bytes); });
    connect(&session, &ClockSession::frameFlushed, this,
            [this](const QByteArray& bytes) { record(FrameRecord::Direction::Flushed, bytes); });
    connect(&session, &ClockSession::timeFrameSeen, this, &ClockService::timeFrameSeen);
    connect(&session, &ClockSession::exchangeFinished, this, [this] { m_traffic.reset(); });
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

void ClockService::run(ClockRequest request, Answer answer) {
    request.confirm = ClockCommands::of(request.kind).setsClockTime;
    ServedCommand served{ServedCommand::Refusal::None, {}, request, {}, {}};
    if (request.kind == ClockRequest::Kind::TypedTime && !request.force && !m_typedTimeRefusal.isEmpty()) {
        served.refusal = ServedCommand::Refusal::NeedsForce;
        served.why = m_typedTimeRefusal;
        return answer(served);
    }
    try {
        m_session.port().requireOpen();
    } catch (const RuntimeError& error) {
        served.refusal = ServedCommand::Refusal::PortClosed;
        served.why = CommandTexts::errorReport(error);
        return answer(served);
    }
    // The command's traffic ends with its exchange; a set time's answer may
    // come later, when another command already holds the line.
    const auto traffic = std::make_shared<LineTraffic>();
    const bool started =
        m_session.start(request, [this, served, traffic, answer](const ClockOutcome& outcome) mutable {
            served.outcome = outcome;
            served.traffic = *traffic;
            finished(std::move(served), answer);
        });
    if (!started) {
        served.refusal = ServedCommand::Refusal::LineHeld;
        served.why = QStringLiteral("Another command holds the line; try again when it has ended");
        return answer(served);
    }
    // The exchange begins from the event loop: its first frame comes after this.
    m_traffic = traffic;
}

ServiceStatus ClockService::status() const {
    const QMutexLocker locker(&m_mutex);
    ServiceStatus status = m_status;
    if (status.lastTimeFrame)
        status.lastTimeFrame->ageMs = m_sinceLastFrame.elapsed();
    return status;
}

void ClockService::countCorrection(qint64 offsetBeforeUs, std::optional<qint64> offsetAfterUs, bool taken) {
    {
        const QMutexLocker locker(&m_mutex);
        ++(taken ? m_status.corrections : m_status.correctionFailures);
    }
    emit corrected(offsetBeforeUs, offsetAfterUs, taken);
}

void ClockService::countCorrectionRefusal(const QString& reason) {
    const QMutexLocker locker(&m_mutex);
    ++m_status.correctionRefusals[reason];
}

void ClockService::refuseUnforcedTypedTimes(const QString& why) {
    m_typedTimeRefusal = why;
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

void ClockService::finished(ServedCommand served, const Answer& answer) {
    const QString name = ClockCommands::of(served.request.kind).name;
    const QString outcome = ClockOutcome::statusName(served.outcome.status);
    {
        const QMutexLocker locker(&m_mutex);
        ++m_status.commands[{name, outcome}];
    }
    const QString said = CommandReport::messageOf(served.request, served.outcome);
    QStringList lines{QStringLiteral("%1 %2%3").arg(
        name, outcome, said.isEmpty() ? QString() : QStringLiteral(": ") + said)};
    for (const QString& frame : served.traffic.lines)
        lines << QStringLiteral("  ") + frame;
    serviceLog(lines.join(QLatin1Char('\n')));
    emit commandFinished(served);
    answer(served);
}

void ClockService::timeFrameSeen(const TimeFrameMonitor::Sighting& sighting) {
    {
        const QMutexLocker locker(&m_mutex);
        m_status.lastTimeFrame =
            ServiceStatus::TimeFrame{sighting.clockDate, sighting.clockTime, sighting.offsetUs, 0};
        ++m_status.timeFrames;
        m_sinceLastFrame.start();
    }
    emit changed();
}

void ClockService::portChanged() {
    {
        const QMutexLocker locker(&m_mutex);
        m_status.portOpen = m_session.port().PortOpen();
        m_status.baudRate = LineSettings::parse(m_session.port().Settings())->baudRate;
    }
    emit changed();
}
