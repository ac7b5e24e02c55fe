#pragma once

#include "common/RuntimeError.h"

#include <QByteArray>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>
#include <optional>

class SerialPortComponent;
class WallClock;

// Waits for a command's answer without blocking: it wakes on incoming bytes
// and on a deadline timer, never polls, and says when it is over. The limit
// is kept on a monotonic timer, so a change of the computer's clock or
// midnight does not stretch or cut it.
class AnswerWait : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Complete, TimedOut, LineLost };
    // What to do with the master clock's own time frames (AA 00 and seven
    // bytes) that arrive ahead of the answer: a settings answer never starts
    // with one, so they are dropped and the wait goes on.
    enum class LeadingTimeFrames { Keep, Skip };

    AnswerWait(SerialPortComponent& port, const WallClock& clock, QObject* parent = nullptr);

    // Waits until `expectedBytes` are there or the limit has run out; then
    // finished() follows, never from within start(). As the limit is counted
    // in whole seconds from `startMillisecond` (the millisecond within the
    // second when the wait began), a wait that runs out lasts between
    // limitSeconds and limitSeconds + 1. With Skip, the bytes are taken off
    // the port as they come, leading time frames dropped; with Keep, they are
    // left waiting until the end.
    void start(int expectedBytes, int limitSeconds, int startMillisecond, LeadingTimeFrames leading);
    // After a complete wait: waits for as many bytes again, within what is
    // left of the limit.
    void awaitNext();
    // Ends the wait without a word.
    void stop();

    // After finished(): the bytes it took and those waiting when it ended.
    const QByteArray& answer() const { return m_answer; }
    // When the bytes it waited for were all there, by the computer's clock.
    const QDateTime& completedAt() const { return m_completedAt; }
    // Why the line was lost, after Outcome::LineLost.
    const std::optional<RuntimeError>& lineError() const { return m_lineError; }

signals:
    void finished(AnswerWait::Outcome outcome);

private:
    // Bytes of the answer so far: with Skip, what was taken after dropping
    // leading time frames; with Keep, what waits on the port.
    int bytesSoFar();
    void arm();
    void check();
    void finish(Outcome outcome);

    SerialPortComponent& m_port;
    const WallClock& m_clock;
    QDeadlineTimer m_limit;
    QTimer m_deadline;
    QList<QMetaObject::Connection> m_connections;
    int m_expectedBytes = 0;
    LeadingTimeFrames m_leading = LeadingTimeFrames::Keep;
    bool m_running = false;
    QByteArray m_taken;
    QByteArray m_answer;
    QDateTime m_completedAt;
    std::optional<RuntimeError> m_lineError;
};
