#pragma once

#include <QObject>
#include <QTimer>

// Fires at a given wall time to within a few microseconds: a timer wakes the
// event loop shortly before and the last moments are spun out, because an
// event loop timer alone runs late by up to a millisecond or more. The timer
// runs on the monotonic clock; should the wall clock be stepped meanwhile,
// the target has moved in time and the owner is told to aim anew instead.
class BoundaryTimer : public QObject {
    Q_OBJECT
public:
    explicit BoundaryTimer(QObject* parent = nullptr);

    // Replaces any earlier target.
    void fireAt(qint64 wallUs);

signals:
    void reached(qint64 wallUs);
    // The wall clock was stepped by `stepUs` since fireAt(); nothing fired.
    void wallClockStepped(qint64 stepUs);

private:
    void wake();

    QTimer m_timer;
    qint64 m_targetUs = 0;
    qint64 m_armedWallUs = 0;
    qint64 m_armedMonotonicUs = 0;
};
