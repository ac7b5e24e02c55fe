#include "RmcStream.h"

#include "common/RuntimeError.h"
#include "protocol/SecondBoundary.h"
#include "protocol/WallClock.h"
#include "serial/SerialPortComponent.h"

namespace {
// How long before a boundary the timer wakes: enough for a timer that is a
// little late, short enough that the window hardly notices the wait.
constexpr int kWakeLeadMs = 25;
// A wake that comes this late after a boundary (the event loop was busy)
// still sends that second's sentence; later, the second is left out.
constexpr int kLateSendLimitMs = 50;
} // namespace

RmcStream::RmcStream(SerialPortComponent& port, WallClock& clock, QObject* parent)
    : QObject(parent), m_port(port), m_clock(clock) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RmcStream::wake);
    connect(&m_port, &SerialPortComponent::closed, this, &RmcStream::stop);
}

void RmcStream::start(char status, int count) {
    stop();
    m_status = status;
    m_remaining = count;
    m_running = true;
    m_lastSecond = m_clock.now().toSecsSinceEpoch();
    scheduleWake();
}

void RmcStream::stop() {
    if (!m_running)
        return;
    m_running = false;
    m_timer.stop();
    emit stopped();
}

void RmcStream::scheduleWake() {
    const int msec = m_clock.now().time().msec();
    m_timer.start(qMax(0, 1000 - msec - kWakeLeadMs));
}

void RmcStream::wake() {
    if (!m_running)
        return;
    QDateTime reading = m_clock.now();
    if (reading.toSecsSinceEpoch() == m_lastSecond) {
        reading = waitForNextSecond(m_clock, m_secondMarker);
    } else if (reading.time().msec() >= kLateSendLimitMs) {
        m_lastSecond = reading.toSecsSinceEpoch();
        scheduleWake();
        return;
    }
    send(reading);
}

void RmcStream::send(const QDateTime& second) {
    const RmcSentence sentence = RmcSentence::build(second.time(), second.date(), m_status);
    m_lastSecond = second.toSecsSinceEpoch();
    try {
        m_port.Output(sentence.bytes);
    } catch (const RuntimeError& error) {
        stop();
        emit failed(error);
        return;
    }
    emit sent(sentence);
    if (m_remaining > 0 && --m_remaining == 0) {
        stop();
        return;
    }
    scheduleWake();
}
