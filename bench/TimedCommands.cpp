#include "TimedCommands.h"

#include "Bench.h"
#include "gps/RmcSentence.h"
#include "protocol/Frames.h"
#include "schedule/TimeText.h"

#include <QAbstractButton>
#include <QLineEdit>

namespace {

constexpr qint64 kUsPerSecond = 1'000'000;
// The start time typed for the countdown before each press.
const QTime kCountdownStart(10, 0);
// How many seconds after its boundary a frame may arrive and still be found.
constexpr int kLatestArrivalSeconds = 3;

// The start of the second `line` was written for, if it is a frame of `command`.
std::optional<qint64> boundaryOf(const TimedCommand& command, const SimLogLine& line) {
    if (line.direction != FrameLog::Direction::Received)
        return std::nullopt;
    const QByteArray bytes = line.bytes();
    const qint64 arrivalSecond = line.atUs / kUsPerSecond;
    for (qint64 second = arrivalSecond; second > arrivalSecond - kLatestArrivalSeconds; --second)
        if (command.frameFor(QDateTime::fromSecsSinceEpoch(second)) == bytes)
            return second * kUsPerSecond;
    return std::nullopt;
}

} // namespace

namespace TimedCommands {

const TimedCommand& setTime() {
    static const TimedCommand command{QStringLiteral("Command1"), [](const QDateTime& second) {
                                          return Frames::setTimeFrame(
                                              Frames::setTimeFrameText(second.date(), second.time()));
                                      }};
    return command;
}

const TimedCommand& countdown() {
    static const TimedCommand command{
        QStringLiteral("Command3"), [](const QDateTime& second) {
            const QTime left = TimeText::remainingUntil(kCountdownStart, second.time());
            return Frames::countdownFrame(Bench::kClockIndex, TimeText::format(left));
        }};
    return command;
}

const TimedCommand& gpsSentence() {
    static const TimedCommand command{QStringLiteral("Command9"), [](const QDateTime& second) {
                                          return RmcSentence::build(second.time(), second.date(), 'A').bytes;
                                      }};
    return command;
}

const QList<TimedCommand>& all() {
    static const QList<TimedCommand> commands{setTime(), countdown(), gpsSentence()};
    return commands;
}

std::optional<TimedFrame> nextFrame(SimChild& sim, const TimedCommand& command, int timeoutMs) {
    std::optional<qint64> boundaryUs;
    const std::optional<SimLogLine> received = sim.next(
        [&](const SimLogLine& line) {
            boundaryUs = boundaryOf(command, line);
            return boundaryUs.has_value();
        },
        timeoutMs);
    if (!received)
        return std::nullopt;
    return TimedFrame{received->atUs, *boundaryUs};
}

std::optional<TimedFrame> press(Bench& bench, SimChild& sim, const TimedCommand& command,
                                const std::function<void()>& beforeClick) {
    auto* target = bench.widget<QAbstractButton>(command.button);
    auto* startText = bench.widget<QLineEdit>(QStringLiteral("Text18"));
    if (!target || !startText)
        return std::nullopt;
    startText->setText(TimeText::format(kCountdownStart));
    // A random phase: an operator's click falls anywhere in the second.
    bench.pump(bench.randomMs(0, 999));
    const qsizetype messagesBefore = bench.messages().size();
    if (beforeClick)
        beforeClick();
    target->click();
    if (bench.messages().size() > messagesBefore) {
        bench.fail(command.button + QStringLiteral(" reported: ") + bench.lastMessage());
        return std::nullopt;
    }
    const std::optional<TimedFrame> frame = nextFrame(sim, command, 5000);
    if (!frame)
        bench.fail(QStringLiteral("the simulator logged no frame of %1 for the second before it")
                       .arg(command.button));
    return frame;
}

} // namespace TimedCommands
