#include "BoundaryTimer.h"

#include "MicroClock.h"

namespace {
constexpr qint64 kSpinUs = 3000; // longer than the event loop is usually late
// Wall time and monotonic time part by more than this only when the wall
// clock is stepped; a time server's slewing stays far below it.
constexpr qint64 kStepUs = 100'000;
} // namespace

BoundaryTimer::BoundaryTimer(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &BoundaryTimer::wake);
}

void BoundaryTimer::fireAt(qint64 wallUs) {
    m_targetUs = wallUs;
    m_armedWallUs = MicroClock::nowUs();
    m_armedMonotonicUs = MicroClock::monotonicUs();
    const qint64 wakeInUs = wallUs - kSpinUs - m_armedWallUs;
    m_timer.start(int(qMax<qint64>(wakeInUs / 1000, 0)));
}

void BoundaryTimer::wake() {
    const qint64 stepUs =
        (MicroClock::nowUs() - m_armedWallUs) - (MicroClock::monotonicUs() - m_armedMonotonicUs);
    // A step back would spin for as long as it went back, deaf to signals; a
    // step ahead would fire for a second long gone.
    if (qAbs(stepUs) > kStepUs || !MicroClock::spinUntil(m_targetUs, 2 * kSpinUs + kStepUs)) {
        emit wallClockStepped(stepUs);
        return;
    }
    emit reached(m_targetUs);
}
