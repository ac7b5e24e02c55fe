#pragma once

#include "SimChild.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <functional>
#include <optional>

class Bench;

// A command that writes its frame right after a second boundary.
struct TimedCommand {
    QString button;
    // The frame the window writes for `second`, made by the core's builders.
    std::function<QByteArray(const QDateTime& second)> frameFor;
};

// A timed frame as the simulator received it, and the start of the second it
// was written for.
struct TimedFrame {
    qint64 receivedUs;
    qint64 boundaryUs;
};

// Which second a received frame belongs to is read back with the core's own
// frame builders, not decoded here: it is the second, shortly before the
// frame arrived, for which the core makes exactly these bytes.
namespace TimedCommands {

// Command1 (set time), Command3 (temporary countdown), Command9 (one RMC
// sentence with a valid fix).
const TimedCommand& setTime();
const TimedCommand& countdown();
const TimedCommand& gpsSentence();
const QList<TimedCommand>& all();

// The next frame of `command` in the simulator's log; nothing within `timeoutMs`.
std::optional<TimedFrame> nextFrame(SimChild& sim, const TimedCommand& command, int timeoutMs);

// Presses the command's button in the bench's window at a random moment of
// the second (`beforeClick` runs just before the click) and finds its frame;
// nothing after bench.fail().
std::optional<TimedFrame> press(Bench& bench, SimChild& sim, const TimedCommand& command,
                                const std::function<void()>& beforeClick = {});

} // namespace TimedCommands
