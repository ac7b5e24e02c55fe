#include "BoundaryTimer.h"

#include "MicroClock.h"

namespace {
constexpr qint64 kSpinUs = 3000; // longer than the event loop is usually late
}

BoundaryTimer::BoundaryTimer(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        MicroClock::spinUntil(m_targetUs);
        emit reached(m_targetUs);
    });
}

void BoundaryTimer::fireAt(qint64 wallUs) {
    m_targetUs = wallUs;
    const qint64 wakeInUs = wallUs - kSpinUs - MicroClock::nowUs();
    m_timer.start(int(qMax<qint64>(wakeInUs / 1000, 0)));
}
