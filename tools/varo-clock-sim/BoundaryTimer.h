#pragma once

#include <QObject>
#include <QTimer>
#include <optional>

// Fires at a given wall time to within a few microseconds: a timer wakes the
// event loop shortly before and the last moments are spun out, because an
// event loop timer alone runs late by up to a millisecond or more. The timer
// runs on the monotonic clock; should the wall clock be stepped after the
// last wake, the target has moved in time and the owner is told to aim anew
// instead, also when the step came before the target was given.
class BoundaryTimer : public QObject {
    Q_OBJECT
public:
    explicit BoundaryTimer(QObject* parent = nullptr);

    // Replaces any earlier target; one worked out from a wall time read before
    // a step is not armed (wallClockStepped() follows at once).
    void fireAt(qint64 wallUs);

signals:
    void reached(qint64 wallUs);
    // The wall clock was stepped by `stepUs`; nothing fires until the next
    // fireAt().
    void wallClockStepped(qint64 stepUs);

private:
    void wake();
    // True, with wallClockStepped() emitted, when the wall clock moved
    // against the monotonic clock since the last look.
    bool stepped();

    QTimer m_timer;
    qint64 m_targetUs = 0;
    std::optional<qint64> m_wallAheadUs; // wall time minus monotonic time at the last look
};
