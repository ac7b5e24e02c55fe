#include "BoundaryWrite.h"

#include "protocol/SecondBoundary.h"
#include "protocol/WallClock.h"
#include "serial/SerialPortComponent.h"

namespace {
// How long before a boundary the wake comes: enough for a timer that is a
// little late, short enough that the blocking wait hardly shows.
constexpr int kWakeLeadMs = 25;
// How long the thread steps aside once the frame is out: long enough for
// whoever reads it on this computer (the far end of a pseudo-terminal,
// ser2net) to take it, which on a busy machine would otherwise wait until
// this thread's time slice ends; short enough that nobody sees it.
constexpr std::chrono::microseconds kReaderFirst{300};
} // namespace

QDateTime writeAfterNextBoundary(WallClock& clock, SerialPortComponent& port, const FrameMaker& make) {
    const QDateTime now = clock.now();
    const QDateTime expected = now.addMSecs(1000 - now.time().msec());
    QByteArray frame = make(expected);
    int secondMarker = 0;
    QDateTime second = waitForNextSecond(clock, secondMarker);
    if (second.toSecsSinceEpoch() == expected.toSecsSinceEpoch())
        second = expected;
    else
        frame = make(second);
    port.Output(frame);
    clock.sleepFor(kReaderFirst);
    return second;
}

BoundaryWake::BoundaryWake(const WallClock& clock, QObject* parent) : QObject(parent), m_clock(clock) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &BoundaryWake::due);
}

void BoundaryWake::arm() {
    const QDateTime now = m_clock.now();
    m_armedSecond = now.toSecsSinceEpoch();
    m_timer.start(qMax(0, 1000 - now.time().msec() - kWakeLeadMs));
}

bool BoundaryWake::boundaryAhead() const {
    return m_clock.now().toSecsSinceEpoch() == m_armedSecond;
}
