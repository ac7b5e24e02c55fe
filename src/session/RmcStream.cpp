#include "RmcStream.h"

#include "common/RuntimeError.h"
#include "protocol/WallClock.h"
#include "serial/SerialPortComponent.h"

namespace {
// A wake that comes this late after a boundary (the event loop was busy)
// still sends that second's sentence; later, the second is left out.
constexpr int kLateSendLimitMs = 50;
} // namespace

RmcStream::RmcStream(SerialPortComponent& port, WallClock& clock, QObject* parent)
    : QObject(parent), m_port(port), m_clock(clock), m_wake(clock) {
    connect(&m_wake, &BoundaryWake::due, this, &RmcStream::wake);
    connect(&m_port, &SerialPortComponent::closed, this, [this] { stop(End::PortClosed); });
}

void RmcStream::start(char status, int count) {
    stop();
    m_status = status;
    m_remaining = count;
    m_running = true;
    m_wake.arm();
}

void RmcStream::stop(End why) {
    if (!m_running)
        return;
    m_running = false;
    m_wake.stop();
    emit stopped(why);
}

void RmcStream::wake() {
    if (!m_running)
        return;
    const FrameMaker make = [this](const QDateTime& second) {
        m_sentence = RmcSentence::build(second.time(), second.date(), m_status);
        return m_sentence.bytes;
    };
    try {
        if (m_wake.boundaryAhead()) {
            writeAfterNextBoundary(m_clock, m_port, make);
        } else {
            const QDateTime now = m_clock.now();
            if (now.time().msec() >= kLateSendLimitMs) {
                m_wake.arm();
                return;
            }
            m_port.Output(make(now));
        }
    } catch (const RuntimeError& error) {
        stop(End::Failed);
        emit failed(error);
        return;
    }
    sentOne();
}

void RmcStream::sentOne() {
    emit sent(m_sentence);
    if (m_remaining > 0 && --m_remaining == 0) {
        stop(End::Done);
        return;
    }
    if (m_running)
        m_wake.arm();
}
