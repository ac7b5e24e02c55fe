#include "BoundaryTimer.h"

#include "MicroClock.h"

#include <utility>

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
    m_timer.stop();
    if (stepped())
        return;
    m_targetUs = wallUs;
    const qint64 wakeInUs = wallUs - kSpinUs - MicroClock::nowUs();
    m_timer.start(int(qMax<qint64>(wakeInUs / 1000, 0)));
}

void BoundaryTimer::wake() {
    // A step back would spin for as long as it went back, deaf to signals; a
    // step ahead would fire for a second long gone.
    if (stepped())
        return;
    // A spin that runs out was stepped back meanwhile.
    if (!MicroClock::spinUntil(m_targetUs, 2 * kSpinUs + kStepUs) && stepped())
        return;
    emit reached(m_targetUs);
}

bool BoundaryTimer::stepped() {
    const qint64 wallAheadUs = MicroClock::nowUs() - MicroClock::monotonicUs();
    const std::optional<qint64> before = std::exchange(m_wallAheadUs, wallAheadUs);
    if (!before || qAbs(wallAheadUs - *before) <= kStepUs)
        return false;
    emit wallClockStepped(wallAheadUs - *before);
    return true;
}
