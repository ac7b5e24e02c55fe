#pragma once

#include "common/RuntimeError.h"

#include <QByteArray>
#include <QEventLoop>
#include <QPointer>
#include <optional>

class SerialPortComponent;

// Waits for a command's answer while the window's events go on running: it
// wakes on incoming bytes and on a deadline timer, never polls. The limit is
// kept on a monotonic timer, so a change of the computer's clock or midnight
// does not stretch or cut it.
class AnswerWait {
public:
    enum class Outcome { Complete, TimedOut, LineLost, Cancelled };
    // What to do with the master clock's own time frames (AA 00 and seven
    // bytes) that arrive ahead of the answer: a settings answer never starts
    // with one, so they are dropped and the wait goes on.
    enum class LeadingTimeFrames { Keep, Skip };

    explicit AnswerWait(SerialPortComponent& port) : m_port(port) {}

    // Returns once `expectedBytes` are waiting or the limit has run out. As the
    // limit is counted in whole seconds from `startMillisecond` (the
    // millisecond within the second when the wait began), a wait that runs
    // out lasts between limitSeconds and limitSeconds + 1. With Skip, the
    // bytes are taken off the port as they come, leading time frames dropped.
    Outcome run(int expectedBytes, int limitSeconds, int startMillisecond,
                LeadingTimeFrames leading = LeadingTimeFrames::Keep);

    // run(), then the bytes it took and the read of everything waiting when
    // it ended; nothing when the wait was cancelled. A lost line raises its
    // RuntimeError.
    QByteArray awaitAndRead(int expectedBytes, int limitSeconds, int startMillisecond,
                            LeadingTimeFrames leading = LeadingTimeFrames::Keep);

    // Ends a running wait at once (the window is closing).
    void cancel();

    // Why the line was lost, after Outcome::LineLost.
    const std::optional<RuntimeError>& lineError() const { return m_lineError; }

private:
    // Bytes of the answer so far: with Skip, what was taken after dropping
    // leading time frames; with Keep, what waits on the port.
    int bytesSoFar(LeadingTimeFrames leading);

    SerialPortComponent& m_port;
    QPointer<QEventLoop> m_loop;
    Outcome m_outcome = Outcome::TimedOut;
    std::optional<RuntimeError> m_lineError;
    QByteArray m_taken;
};
