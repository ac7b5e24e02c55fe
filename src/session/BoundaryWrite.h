#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>

class SerialPortComponent;
class WallClock;

// Makes the frame for a second; may raise RuntimeError.
using FrameMaker = std::function<QByteArray(const QDateTime& second)>;

// Writes a frame right after the next second boundary. The frame for the
// second expected is made before the wait, so that only the write follows the
// boundary; when the wait returns another second (the computer's clock was
// set meanwhile), the frame is made anew for it. Blocks until the boundary,
// and for a moment after the write, which lets a reader of the line on this
// computer take the frame before the caller goes on: events do not run
// meanwhile. Returns the second the frame was made for; a failed write raises
// its RuntimeError.
QDateTime writeAfterNextBoundary(WallClock& clock, SerialPortComponent& port, const FrameMaker& make);

// Wakes the event loop shortly before the next second boundary, so that only
// the last moments before it are spent in the blocking wait.
class BoundaryWake : public QObject {
    Q_OBJECT
public:
    explicit BoundaryWake(const WallClock& clock, QObject* parent = nullptr);

    // Wakes before the boundary that follows now.
    void arm();
    void stop() { m_timer.stop(); }
    // Whether the boundary it was armed for is still ahead: a wake that comes
    // late (the event loop was busy) finds it passed.
    bool boundaryAhead() const;
    // The epoch second that was current when it was armed.
    qint64 armedSecond() const { return m_armedSecond; }

signals:
    void due();

private:
    const WallClock& m_clock;
    QTimer m_timer;
    qint64 m_armedSecond = 0;
};
