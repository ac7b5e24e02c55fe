#include "ClockSession.h"

#include "OffsetModel.h"
#include "gps/RmcSentence.h"
#include "protocol/Frames.h"
#include "protocol/SystemClockSetter.h"
#include "protocol/WallClock.h"
#include "schedule/TimeText.h"
#include "serial/PortCatalog.h"
#include "serial/PortNames.h"
#include "serial/SerialPortComponent.h"

#include <QEventLoop>
#include <QScopedValueRollback>
#include <QTimer>

struct ClockSession::Exchange {
    ClockRequest request;
    ClockOutcome outcome;
    Written written;
    Done done;
    std::optional<LineHold> ownHold; // the non-blocking form's
    bool blocking = true;
};

ClockSession::ClockSession(SerialPortComponent& port, WallClock& clock, PortCatalog* ports, QObject* parent)
    : QObject(parent), m_port(port), m_clock(clock), m_ports(ports), m_gpsStream(port, clock),
      m_answerWait(port, clock), m_boundaryWake(clock) {
    if (m_ports)
        m_port.setNamedDeviceFactory([ports](const QString& location) { return ports->deviceAt(location); });
    connect(&m_answerWait, &AnswerWait::finished, this, &ClockSession::answerArrived);
    connect(&m_boundaryWake, &BoundaryWake::due, this, [this] {
        // A wake that comes after its boundary waits for the next one: a
        // frame never leaves late in its second.
        if (m_boundaryWake.boundaryAhead())
            writeAtBoundary();
        else
            m_boundaryWake.arm();
    });

    connect(&m_port, &SerialPortComponent::written, this, [this](const QByteArray& bytes) {
        if (m_held)
            m_lineUsedByCommand = true;
        emit frameSent(bytes);
    });
    connect(&m_port, &SerialPortComponent::taken, this, [this](const QByteArray& bytes) {
        if (m_held)
            m_lineUsedByCommand = true;
        if (m_flushing)
            emit frameFlushed(bytes);
        else
            emit frameReceived(bytes);
    });
    connect(&m_port, &SerialPortComponent::readyRead, this, &ClockSession::readTimeFrames);
    connect(&m_port, &SerialPortComponent::opened, this, [this] { m_timeFrames.reset(); });
}

ClockSession::~ClockSession() {
    cancel();
}

ClockSession::LineHold::~LineHold() {
    if (m_session)
        m_session->release();
}

std::optional<ClockSession::LineHold> ClockSession::holdLine() {
    if (m_held)
        return std::nullopt;
    m_gpsStream.stop(RmcStream::End::LineTaken);
    m_held = true;
    emit lineHeldChanged(true);
    return LineHold(this);
}

void ClockSession::release() {
    m_held = false;
    emit lineHeldChanged(false);
}

ClockOutcome ClockSession::run(const ClockRequest& request, const LineHold&, const Written& written) {
    Q_ASSERT(!m_exchange);
    m_exchange.reset(new Exchange{request, {}, written, {}, std::nullopt, true});
    ClockOutcome outcome;
    QEventLoop loop;
    const QScopedValueRollback<QEventLoop*> blocking(m_blockingLoop, &loop);
    connect(this, &ClockSession::exchangeFinished, &loop,
            [&outcome](const ClockRequest&, const ClockOutcome& ended) { outcome = ended; });
    begin();
    if (m_exchange)
        loop.exec();
    return outcome;
}

bool ClockSession::start(const ClockRequest& request, Done done) {
    std::optional<LineHold> hold = holdLine();
    if (!hold)
        return false;
    m_exchange.reset(new Exchange{request, {}, {}, std::move(done), std::move(hold), false});
    QTimer::singleShot(0, this, [this] {
        if (m_exchange)
            begin();
    });
    return true;
}

void ClockSession::cancel() {
    if (!m_exchange)
        return;
    m_answerWait.stop();
    m_boundaryWake.stop();
    finish(ClockOutcome::Status::Cancelled);
}

ClockOutcome ClockSession::syncComputerClock(SystemClockSetter& setter, const LineHold& hold,
                                             const StepRule& rule) {
    ClockOutcome outcome =
        run(ClockRequest::timeFrame([&setter](qint64 offsetUs) { return setter.canMoveClockBy(offsetUs); }),
            hold);
    if (!outcome.done())
        return outcome;
    if (!rule.allows(outcome.offsetUs)) {
        outcome.status = ClockOutcome::Status::StepRefused;
        return outcome;
    }
    if (SystemClockSetter::Result failure = setter.moveClockBy(outcome.offsetUs)) {
        outcome.status = ClockOutcome::Status::ClockNotSet;
        outcome.error = std::move(failure);
    }
    return outcome;
}

void ClockSession::begin() {
    Exchange& exchange = *m_exchange;
    const ClockRequest& request = exchange.request;
    try {
        switch (request.kind) {
        case ClockRequest::Kind::SetTime:
            if (request.time) {
                writeFrame(frameMaker()(QDateTime(m_clock.now().date(), *request.time)));
                return finish(ClockOutcome::Status::Done);
            }
            return awaitBoundary();
        case ClockRequest::Kind::Countdown:
            // With no countdown clock chosen, fail before the wait.
            Frames::clockByte(Frames::ClockBase::Countdown, request.clockIndex);
            return awaitBoundary();
        case ClockRequest::Kind::Rmc:
            return awaitBoundary();
        case ClockRequest::Kind::ReadSettings:
            // A late answer to an earlier command must not pass for this one.
            flush();
            writeFrame(Frames::readRequest(request.clockIndex));
            return awaitAnswer(*CommandTable::kReadSettings.answer, AnswerWait::LeadingTimeFrames::Skip);
        case ClockRequest::Kind::WriteSettings: {
            flush();
            Frames::clockByte(Frames::ClockBase::Write, request.clockIndex);
            writeFrame(Frames::writeFrame(request.clockIndex, request.records()));
            return awaitAnswer(*CommandTable::kWriteSettings.answer, AnswerWait::LeadingTimeFrames::Skip);
        }
        case ClockRequest::Kind::TimeFrame:
            // Only a frame that arrives after the start counts.
            flush();
            return awaitAnswer(CommandTable::kClockTime, AnswerWait::LeadingTimeFrames::Keep);
        }
    } catch (const RuntimeError& error) {
        fail(error);
    }
}

void ClockSession::flush() {
    const QScopedValueRollback<bool> flushing(m_flushing, true);
    m_port.Flush();
}

void ClockSession::writeFrame(const QByteArray& frame) {
    m_exchange->outcome.sent = frame;
    try {
        m_port.Output(frame);
    } catch (const RuntimeError& error) {
        m_exchange->outcome.error = error;
        notifyWritten();
        throw;
    }
    notifyWritten();
}

FrameMaker ClockSession::frameMaker() {
    return [this](const QDateTime& second) {
        const ClockRequest& request = m_exchange->request;
        ClockOutcome& outcome = m_exchange->outcome;
        outcome.second = second;
        switch (request.kind) {
        case ClockRequest::Kind::SetTime:
            outcome.frameText = Frames::setTimeFrameText(second.date(), second.time());
            outcome.sent = Frames::setTimeFrame(outcome.frameText);
            break;
        case ClockRequest::Kind::Countdown:
            outcome.frameText = TimeText::format(TimeText::remainingUntil(*request.time, second.time()));
            outcome.sent = Frames::countdownFrame(request.clockIndex, outcome.frameText);
            break;
        default: {
            const RmcSentence sentence = RmcSentence::build(second.time(), second.date(), request.rmcStatus);
            outcome.frameText = sentence.text;
            outcome.checksum = sentence.checksum;
            outcome.sent = sentence.bytes;
        }
        }
        return outcome.sent;
    };
}

void ClockSession::awaitBoundary() {
    if (m_exchange->blocking)
        writeAtBoundary();
    else
        m_boundaryWake.arm();
}

void ClockSession::writeAtBoundary() {
    try {
        try {
            writeAfterNextBoundary(m_clock, m_port, frameMaker());
        } catch (const RuntimeError& error) {
            // The frame was made but not written: it is shown all the same.
            m_exchange->outcome.error = error;
            if (!m_exchange->outcome.sent.isEmpty())
                notifyWritten();
            throw;
        }
        notifyWritten();
        finish(ClockOutcome::Status::Done);
    } catch (const RuntimeError& error) {
        fail(error);
    }
}

void ClockSession::notifyWritten() {
    if (m_exchange->written)
        m_exchange->written(m_exchange->outcome);
}

void ClockSession::awaitAnswer(const CommandTable::Awaited& answer, AnswerWait::LeadingTimeFrames leading) {
    m_answerWait.start(answer.frame.length, answer.limitSeconds, m_clock.now().time().msec(), leading);
}

void ClockSession::answerArrived(AnswerWait::Outcome result) {
    if (!m_exchange)
        return;
    if (result == AnswerWait::Outcome::LineLost)
        return fail(*m_answerWait.lineError());
    m_exchange->outcome.received = m_answerWait.answer();
    switch (m_exchange->request.kind) {
    case ClockRequest::Kind::ReadSettings:
        return decodeSettingsAnswer(CommandTable::kReadSettings.answer->frame);
    case ClockRequest::Kind::WriteSettings:
        return decodeSettingsAnswer(CommandTable::kWriteSettings.answer->frame);
    default:
        m_exchange->outcome.arrival = m_answerWait.completedAt();
        return decodeTimeFrame();
    }
}

void ClockSession::decodeSettingsAnswer(const CommandTable::FrameShape& answer) {
    ClockOutcome& outcome = m_exchange->outcome;
    const std::optional<int> clockIndex =
        Frames::answeredClockIndex(outcome.received, answer.code, answer.byte1);
    if (!clockIndex)
        return finish(outcome.received.isEmpty() ? ClockOutcome::Status::NoAnswer
                                                 : ClockOutcome::Status::ForeignAnswer);
    try {
        outcome.rows = Frames::replyRows(outcome.received);
    } catch (const RuntimeError& error) {
        outcome.error = error;
        return finish(ClockOutcome::Status::ShortAnswer);
    }
    outcome.clockIndex = *clockIndex;
    finish(ClockOutcome::Status::Done);
}

void ClockSession::decodeTimeFrame() {
    ClockOutcome& outcome = m_exchange->outcome;
    if (outcome.received.size() < CommandTable::kClockTime.frame.length)
        return finish(ClockOutcome::Status::NoAnswer);
    const std::optional<QString> text = Frames::clockTimeText(outcome.received);
    if (!text)
        return finish(ClockOutcome::Status::ForeignAnswer);
    try {
        outcome.clockTime = TimeText::toTime(*text);
    } catch (const RuntimeError& error) {
        outcome.error = error;
        return finish(ClockOutcome::Status::InvalidAnswer);
    }
    outcome.offsetUs =
        OffsetModel::offsetUs(outcome.clockTime, outcome.arrival, *LineSettings::parse(m_port.Settings()));
    const ClockRequest::OffsetCheck& serves = m_exchange->request.serves;
    if (serves && !serves(outcome.offsetUs))
        return m_answerWait.awaitNext();
    finish(ClockOutcome::Status::Done);
}

void ClockSession::fail(const RuntimeError& error) {
    m_exchange->outcome.error = error;
    finish(ClockOutcome::Status::Failed);
}

void ClockSession::finish(ClockOutcome::Status status) {
    const std::unique_ptr<Exchange> exchange = std::move(m_exchange);
    exchange->outcome.status = status;
    // The line is free again before anyone hears of the end.
    exchange->ownHold.reset();
    emit exchangeFinished(exchange->request, exchange->outcome);
    if (exchange->done)
        exchange->done(exchange->outcome);
    if (exchange->blocking && m_blockingLoop)
        m_blockingLoop->quit();
}

void ClockSession::readTimeFrames() {
    // A command flushes and reads the line itself; the monitor never takes
    // bytes from under it.
    if (m_held) {
        m_lineUsedByCommand = true;
        return;
    }
    if (!m_port.PortOpen())
        return;
    const QDateTime arrival = m_clock.now();
    const QByteArray bytes = m_port.Input();
    // What a command left waiting, or what came while it held the line,
    // arrived at no time the monitor knows.
    if (std::exchange(m_lineUsedByCommand, false)) {
        m_timeFrames.reset();
        return;
    }
    if (const std::optional<TimeFrameMonitor::Sighting> sighting =
            m_timeFrames.feed(bytes, arrival, *LineSettings::parse(m_port.Settings())))
        emit timeFrameSeen(*sighting);
}

void ClockSession::openPort(const PortChoice& choice) {
    // A device the operator named is opened before the open port closes, so
    // that a name that does not open leaves the working line as it was. A
    // listed port is chosen as the port list always has: the open one first
    // closes (and opening the very device that is open means reopening it).
    if (choice.number == 0 && m_port.PortOpen() && !PortChoice::sameDevice(choice.device, openLocation())) {
        m_port.openInstead(choice.device);
        return;
    }
    if (m_port.PortOpen())
        m_port.setPortOpen(false);
    if (choice.number > 0)
        m_port.setCommPort(choice.number);
    else
        m_port.setDeviceName(choice.device);
    m_port.setPortOpen(true);
}

QString ClockSession::portLabel() const {
    return m_port.DeviceName().isEmpty() ? PortChoice::listed(m_port.CommPort()).name() : m_port.DeviceName();
}

QString ClockSession::openLocation() const {
    if (!m_port.DeviceName().isEmpty())
        return m_port.DeviceName();
    return m_ports ? m_ports->locationOfPort(m_port.CommPort()) : PortNames::deviceForPort(m_port.CommPort());
}
