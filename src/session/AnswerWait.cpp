#include "AnswerWait.h"

#include "protocol/Frames.h"
#include "protocol/WallClock.h"
#include "serial/SerialPortComponent.h"

namespace {
// Whether `bytes` start with the master clock's time frame, or could still
// turn out to once more bytes come.
bool startsWithTimeFrame(const QByteArray& bytes) {
    return !bytes.isEmpty() && quint8(bytes[0]) == Frames::Code::SetTime &&
           (bytes.size() < 2 || bytes[1] == '\0');
}
} // namespace

AnswerWait::AnswerWait(SerialPortComponent& port, const WallClock& clock, QObject* parent)
    : QObject(parent), m_port(port), m_clock(clock) {
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, [this] { finish(Outcome::TimedOut); });
}

int AnswerWait::bytesSoFar() {
    if (m_leading == LeadingTimeFrames::Keep)
        return m_port.InBufferCount();
    if (m_port.InBufferCount() > 0)
        m_taken += m_port.Input();
    while (startsWithTimeFrame(m_taken) && m_taken.size() >= Frames::Length::ClockTime)
        m_taken.remove(0, Frames::Length::ClockTime);
    // A time frame still arriving is no part of the answer yet.
    return startsWithTimeFrame(m_taken) ? 0 : int(m_taken.size());
}

void AnswerWait::start(int expectedBytes, int limitSeconds, int startMillisecond, LeadingTimeFrames leading) {
    stop();
    m_expectedBytes = expectedBytes;
    m_leading = leading;
    m_limit.setRemainingTime((limitSeconds + 1) * 1000 - startMillisecond, Qt::PreciseTimer);
    arm();
}

void AnswerWait::awaitNext() {
    stop();
    arm();
}

void AnswerWait::arm() {
    m_taken.clear();
    m_answer.clear();
    m_completedAt = QDateTime();
    m_lineError.reset();
    m_running = true;
    m_connections = {
        connect(&m_port, &SerialPortComponent::readyRead, this, &AnswerWait::check),
        connect(&m_port, &SerialPortComponent::lineLost, this, [this](const RuntimeError& error) {
            m_lineError = error;
            finish(Outcome::LineLost);
        })};
    m_deadline.start(int(m_limit.remainingTime()));
    // What is already there counts, but the caller hears of it from the event loop.
    QTimer::singleShot(0, this, &AnswerWait::check);
}

void AnswerWait::check() {
    if (m_running && bytesSoFar() >= m_expectedBytes) {
        m_completedAt = m_clock.now();
        finish(Outcome::Complete);
    }
}

void AnswerWait::stop() {
    m_running = false;
    m_deadline.stop();
    for (const QMetaObject::Connection& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
}

void AnswerWait::finish(Outcome outcome) {
    if (!m_running)
        return;
    stop();
    if (outcome != Outcome::LineLost) {
        try {
            m_answer = m_taken + m_port.Input();
        } catch (const RuntimeError& error) {
            m_lineError = error;
            outcome = Outcome::LineLost;
        }
    }
    emit finished(outcome);
}
