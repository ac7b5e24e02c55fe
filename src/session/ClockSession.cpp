#include "ClockSession.h"

#include "ClockCommand.h"
#include "OffsetModel.h"
#include "protocol/Frames.h"
#include "protocol/WallClock.h"
#include "serial/PortCatalog.h"
#include "serial/PortNames.h"
#include "serial/SerialPortComponent.h"

#include <QEventLoop>
#include <QScopedValueRollback>
#include <QTimer>

namespace {
// How long a set time waits for the master clock's next time frame: the
// clock's next second boundary, with room for a slow frame.
constexpr int kConfirmationMs = 3000;
// A clock whose last time frame came this recently sends them.
constexpr qint64 kSendsTimeFramesMs = 5000;
} // namespace

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
    // Set times waiting for the next time frame are told there was none.
    confirm(std::nullopt);
    if (!m_exchange)
        return;
    m_answerWait.stop();
    m_boundaryWake.stop();
    finish(ClockOutcome::Status::Cancelled);
}

void ClockSession::begin() {
    const ClockRequest& request = m_exchange->request;
    const ClockCommand& command = ClockCommands::of(request.kind);
    try {
        // With no countdown clock chosen, fail before anything is touched.
        if (command.row && command.row->request.namesClock)
            Frames::clockByte(command.row->request.byte1, request.clockIndex);
        // A late answer to an earlier command must not pass for this one's,
        // and only a time frame that arrives after the start counts.
        if (command.answer)
            flush();
        switch (command.timing) {
        case ClockCommand::Timing::AfterBoundary:
            return awaitBoundary();
        case ClockCommand::Timing::AtOnce:
            writeFrame(m_clock.now());
            break;
        case ClockCommand::Timing::Listen:
            break;
        }
        if (!command.answer)
            return finish(ClockOutcome::Status::Done);
        m_answerWait.start(command.answer->frame.length, command.answer->limitSeconds,
                           m_clock.now().time().msec(), command.leading);
    } catch (const RuntimeError& error) {
        fail(error);
    }
}

void ClockSession::flush() {
    const QScopedValueRollback<bool> flushing(m_flushing, true);
    m_port.Flush();
}

void ClockSession::writeFrame(const QDateTime& now) {
    frameMaker()(now);
    try {
        m_port.Output(m_exchange->outcome.sent);
    } catch (const RuntimeError& error) {
        m_exchange->outcome.error = error;
        notifyWritten();
        throw;
    }
    m_exchange->outcome.frameWentOut = true;
    notifyWritten();
}

FrameMaker ClockSession::frameMaker() {
    return [this](const QDateTime& second) {
        const ClockRequest& request = m_exchange->request;
        ClockOutcome& outcome = m_exchange->outcome;
        const ClockCommand& command = ClockCommands::of(request.kind);
        if (command.afterBoundary())
            outcome.second = second;
        command.makeFrame(request, second, outcome);
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
        m_exchange->outcome.frameWentOut = true;
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

void ClockSession::answerArrived(AnswerWait::Outcome result) {
    if (!m_exchange)
        return;
    if (result == AnswerWait::Outcome::LineLost)
        return fail(*m_answerWait.lineError());
    const ClockRequest& request = m_exchange->request;
    ClockOutcome& outcome = m_exchange->outcome;
    const ClockCommand& command = ClockCommands::of(request.kind);
    outcome.received = m_answerWait.answer();
    outcome.arrival = m_answerWait.completedAt();
    const std::optional<ClockOutcome::Status> status =
        command.decodeAnswer(request, *LineSettings::parse(m_port.Settings()), outcome);
    if (!status)
        return m_answerWait.awaitNext();
    if (*status != ClockOutcome::Status::Done || !command.settle)
        return finish(*status);
    // Settling may ask the operator, and the window may close meanwhile:
    // it works on copies, and a cancelled exchange stays cancelled.
    const ClockRequest settling = request;
    ClockOutcome settled = outcome;
    const ClockOutcome::Status settledStatus = command.settle(settling, settled);
    if (!m_exchange)
        return;
    m_exchange->outcome = std::move(settled);
    finish(settledStatus);
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
    if (exchange->blocking && m_blockingLoop)
        m_blockingLoop->quit();
    if (!exchange->done)
        return;
    if (exchange->request.confirm && exchange->outcome.done() && sendsTimeFrames())
        return awaitConfirmation(exchange->outcome, std::move(exchange->done));
    exchange->done(exchange->outcome);
}

void ClockSession::awaitConfirmation(const ClockOutcome& outcome, Done done) {
    const quint64 id = ++m_lastConfirmation;
    const qint64 takenUs =
        m_clock.now().toMSecsSinceEpoch() * 1000 +
        OffsetModel::lineTimeUs(int(outcome.sent.size()), *LineSettings::parse(m_port.Settings()));
    m_confirmations.push_back({id, outcome, std::move(done), takenUs});
    QTimer::singleShot(kConfirmationMs, this, [this, id] {
        for (auto waiting = m_confirmations.begin(); waiting != m_confirmations.end(); ++waiting)
            if (waiting->id == id) {
                Confirmation confirmation = std::move(*waiting);
                m_confirmations.erase(waiting);
                return confirmation.done(confirmation.outcome);
            }
    });
}

void ClockSession::confirm(const std::optional<TimeFrameMonitor::Sighting>& sighting) {
    // A time frame on its way when the set time went out tells nothing of it.
    const qint64 leftUs =
        sighting ? OffsetModel::firstByteLeftUs(sighting->arrival, *LineSettings::parse(m_port.Settings()))
                 : 0;
    for (Confirmation& confirmation : std::exchange(m_confirmations, {})) {
        if (sighting && leftUs < confirmation.takenUs) {
            m_confirmations.push_back(std::move(confirmation));
            continue;
        }
        confirmation.outcome.nextTimeFrame = sighting;
        confirmation.done(confirmation.outcome);
    }
}

bool ClockSession::sendsTimeFrames() const {
    return m_sinceLastSighting.isValid() && m_sinceLastSighting.elapsed() <= kSendsTimeFramesMs;
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
            m_timeFrames.feed(bytes, arrival, *LineSettings::parse(m_port.Settings()))) {
        m_sinceLastSighting.start();
        emit timeFrameSeen(*sighting);
        confirm(sighting);
    }
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
