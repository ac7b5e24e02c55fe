#pragma once

#include <QObject>
#include <QTimer>

// Fires at a given wall time to within a few microseconds: a timer wakes the
// event loop shortly before and the last moments are spun out, because an
// event loop timer alone runs late by up to a millisecond or more.
class BoundaryTimer : public QObject {
    Q_OBJECT
public:
    explicit BoundaryTimer(QObject* parent = nullptr);

    // Replaces any earlier target.
    void fireAt(qint64 wallUs);

signals:
    void reached(qint64 wallUs);

private:
    QTimer m_timer;
    qint64 m_targetUs = 0;
};
