#include "ClockCommand.h"

#include "OffsetModel.h"
#include "gps/RmcSentence.h"
#include "protocol/CommandTexts.h"
#include "protocol/Frames.h"
#include "protocol/SystemClockSetter.h"
#include "schedule/TimeText.h"
#include "settings_file/SettingsFile.h"

#include <QMetaEnum>
#include <algorithm>
#include <iterator>

namespace {

using Kind = ClockRequest::Kind;
using Status = ClockOutcome::Status;
using Input = CommandArgument::Input;
using Timing = ClockCommand::Timing;
using Leading = AnswerWait::LeadingTimeFrames;

const CommandArgument kTime =
    CommandArgument::timeOfDay(QStringLiteral("time"), QStringLiteral("the time of day"));
const CommandArgument kClock =
    CommandArgument::number(QStringLiteral("clock"), QStringLiteral("the countdown clock"), 1, 2);
// A service whose master clock is chronyd's reference refuses a typed time without it.
const CommandArgument kForce = [] {
    CommandArgument force =
        CommandArgument::flag(QStringLiteral("force"),
                              QStringLiteral("set the typed time even where the service refuses it"), {}, {});
    force.serviceOnly = true;
    return force;
}();

// --- Frames ---

void setTimeFrame(const ClockRequest&, const QDateTime& second, ClockOutcome& outcome) {
    outcome.frameText = Frames::setTimeFrameText(second.date(), second.time());
    outcome.sent = Frames::setTimeFrame(outcome.frameText);
}

void typedTimeFrame(const ClockRequest& request, const QDateTime& now, ClockOutcome& outcome) {
    outcome.second = QDateTime(now.date(), *request.time);
    setTimeFrame(request, outcome.second, outcome);
}

void countdownFrame(const ClockRequest& request, const QDateTime& second, ClockOutcome& outcome) {
    outcome.frameText = TimeText::format(TimeText::remainingUntil(*request.time, second.time()));
    outcome.sent = Frames::countdownFrame(request.clockIndex, outcome.frameText);
}

void rmcSentence(const ClockRequest& request, const QDateTime& second, ClockOutcome& outcome) {
    const RmcSentence sentence = RmcSentence::build(second.time(), second.date(), request.rmcStatus);
    outcome.frameText = sentence.text;
    outcome.checksum = sentence.checksum;
    outcome.sent = sentence.bytes;
}

void readRequest(const ClockRequest& request, const QDateTime&, ClockOutcome& outcome) {
    outcome.sent = Frames::readRequest(request.clockIndex);
}

void writeFrame(const ClockRequest& request, const QDateTime&, ClockOutcome& outcome) {
    outcome.sent = Frames::writeFrame(request.clockIndex, request.records());
}

// --- Answers ---

// A settings reply or a write reply: the clock it names and its eight groups.
std::optional<Status> settingsAnswer(const ClockRequest& request, const LineSettings&,
                                     ClockOutcome& outcome) {
    const CommandTable::FrameShape& shape = ClockCommands::of(request.kind).answer->frame;
    const std::optional<int> clockIndex =
        Frames::answeredClockIndex(outcome.received, shape.code, shape.byte1);
    // The answer's first byte alone is one cut short, not another answer.
    const bool firstByteOnly = outcome.received.size() == 1 && quint8(outcome.received[0]) == shape.code;
    if (!clockIndex && !firstByteOnly)
        return outcome.received.isEmpty() ? Status::NoAnswer : Status::ForeignAnswer;
    try {
        outcome.rows = Frames::replyRows(outcome.received);
    } catch (const RuntimeError& error) {
        outcome.error = error;
        return Status::ShortAnswer;
    }
    outcome.clockIndex = *clockIndex;
    return Status::Done;
}

// The master clock's own time frame and its offset; one that does not serve
// the request is passed over.
std::optional<Status> timeFrame(const ClockRequest& request, const LineSettings& line,
                                ClockOutcome& outcome) {
    if (outcome.received.size() < CommandTable::kClockTime.frame.length)
        return Status::NoAnswer;
    const std::optional<QString> text = Frames::clockTimeText(outcome.received);
    if (!text)
        return Status::ForeignAnswer;
    try {
        outcome.clockTime = TimeText::toTime(*text);
    } catch (const RuntimeError& error) {
        outcome.error = error;
        return Status::InvalidAnswer;
    }
    // Bytes that are no date never cost the time of day its use: the offset
    // is then the time of day's alone.
    const std::optional<QDate> date = Frames::clockDate(outcome.received);
    outcome.clockDate = date.value_or(QDate());
    outcome.offsetUs = date ? OffsetModel::offsetUs(*date, outcome.clockTime, outcome.arrival, line)
                            : OffsetModel::timeOfDayPart(OffsetModel::offsetUs(
                                  outcome.arrival.date(), outcome.clockTime, outcome.arrival, line));
    if (request.serves && !request.serves(outcome.offsetUs))
        return std::nullopt;
    return Status::Done;
}

// The computer's clock moved to the master clock's time of day, within the
// step rule; its date is never taken from the frame, and a date that differs
// is said.
Status setComputerClock(const ClockRequest& request, ClockOutcome& outcome) {
    const qint64 stepUs = OffsetModel::timeOfDayPart(outcome.offsetUs);
    if (!request.stepRule.allows(stepUs))
        return Status::StepRefused;
    if (SystemClockSetter::Result failure = request.setter->moveClockBy(stepUs)) {
        outcome.error = std::move(failure);
        return Status::ClockNotSet;
    }
    const qint64 days = (outcome.offsetUs - stepUs) / OffsetModel::kDayUs;
    if (days != 0)
        outcome.warnings << QStringLiteral("The master clock's date %1 is %2 %3 %4 the computer's: the "
                                           "computer's date was left as it is; set the master clock's date "
                                           "from the computer (set-time)")
                                .arg(outcome.clockDate.toString(Qt::ISODate))
                                .arg(qAbs(days))
                                .arg(qAbs(days) == 1 ? QStringLiteral("day") : QStringLiteral("days"))
                                .arg(days > 0 ? QStringLiteral("ahead of") : QStringLiteral("behind"));
    return Status::Done;
}

// --- How the front-ends show it ---

QString writeFrameShown(const QByteArray& frame) {
    const auto [first, second] = Frames::writeFrameLines(frame);
    return first + QLatin1Char(' ') + second;
}

QString sentenceShown(const QByteArray& frame) {
    return QString::fromLatin1(frame).trimmed();
}

QList<ClockCommand::Field> frameTextField(const ClockOutcome& outcome) {
    return {{QStringLiteral("frameText"), QStringLiteral("text"), outcome.frameText}};
}

QList<ClockCommand::Field> remainingField(const ClockOutcome& outcome) {
    return {{QStringLiteral("remaining"), QStringLiteral("remaining"), outcome.frameText}};
}

QList<ClockCommand::Field> sentenceField(const ClockOutcome& outcome) {
    return {{QStringLiteral("sentence"), QString(), sentenceShown(outcome.sent)}};
}

QList<ClockCommand::Field> settingsFields(const ClockOutcome& outcome) {
    if (outcome.clockIndex < 0)
        return {};
    return {{QStringLiteral("clock"), QString(), outcome.clockIndex + 1},
            {QStringLiteral("file"), QString(),
             QString::fromLatin1(SettingsFile::write(outcome.clockIndex + 1, outcome.rows))}};
}

QList<ClockCommand::Field> clockTimeField(const ClockOutcome& outcome) {
    if (!outcome.clockTime.isValid())
        return {};
    return {{QStringLiteral("time"), QStringLiteral("time"), TimeText::format(outcome.clockTime)}};
}

// --- Requests from a caller's arguments ---

std::optional<ClockRequest> setTimeRequest(const CommandArguments&, QString*) {
    return ClockRequest::setTime();
}

std::optional<ClockRequest> typedTimeRequest(const CommandArguments& arguments, QString*) {
    ClockRequest request = ClockRequest::typedTime(arguments.times.value(kTime.name));
    request.force = arguments.flags.value(kForce.name, false);
    return request;
}

std::optional<ClockRequest> countdownRequest(const CommandArguments& arguments, QString*) {
    return ClockRequest::countdown(arguments.numbers.value(kClock.name) - 1,
                                   arguments.times.value(kTime.name));
}

std::optional<ClockRequest> readRequestOf(const CommandArguments& arguments, QString*) {
    return ClockRequest::readSettings(arguments.numbers.value(kClock.name) - 1);
}

std::optional<ClockRequest> writeRequestOf(const CommandArguments& arguments, QString* why) {
    const int clockNumber = arguments.settings->clockNumber;
    const std::optional<int> named = arguments.numbers.contains(kClock.name)
                                         ? std::optional(arguments.numbers.value(kClock.name))
                                         : std::nullopt;
    if (named && *named != clockNumber) {
        *why = QStringLiteral("the file's header names clock %1, not clock %2").arg(clockNumber).arg(*named);
        return std::nullopt;
    }
    return ClockRequest::writeSettings(clockNumber - 1,
                                       [records = arguments.settings->records] { return records; });
}

std::optional<ClockRequest> timeFrameRequest(const CommandArguments&, QString*) {
    return ClockRequest::timeFrame();
}

std::optional<ClockRequest> rmcRequest(const CommandArguments& arguments, QString*) {
    return ClockRequest::rmc(arguments.flags.value(QStringLiteral("valid"), true) ? 'A' : 'V');
}

std::optional<ClockRequest> syncRequest(const CommandArguments& arguments, QString* why) {
    if (!arguments.clockSetter) {
        *why = QStringLiteral("the computer's clock cannot be set from here");
        return std::nullopt;
    }
    return ClockRequest::syncComputer(*arguments.clockSetter, arguments.stepRule);
}

// --- The commands ---

const QString kNoTimeFrame = QStringLiteral("No time frame from the master clock");
const QString kNoTimeFrameSent = QStringLiteral("What the master clock sent is no time frame");

const ClockCommand kSetTime{
    Kind::SetTime,
    QStringLiteral("set_time"),
    QStringLiteral("set-time"),
    QStringLiteral("POST"),
    QStringLiteral("/set-time"),
    QStringLiteral("set the master clock to the computer's date and time right after a second boundary"),
    {},
    &CommandTable::kSetTime,
    Timing::AfterBoundary,
    std::nullopt,
    Leading::Keep,
    setTimeFrame,
    nullptr,
    nullptr,
    {},
    {},
    {},
    false,
    true,
    Frames::hexText,
    frameTextField,
    setTimeRequest,
};

const ClockCommand kTypedTime{
    Kind::TypedTime,
    QStringLiteral("set_time"),
    QStringLiteral("set-time"),
    QStringLiteral("POST"),
    QStringLiteral("/set-time"),
    QStringLiteral("or to a typed time of day with the computer's date, at once"),
    {kTime, kForce},
    &CommandTable::kSetTime,
    Timing::AtOnce,
    std::nullopt,
    Leading::Keep,
    typedTimeFrame,
    nullptr,
    nullptr,
    {},
    {},
    {},
    false,
    true,
    Frames::hexText,
    frameTextField,
    typedTimeRequest,
};

const ClockCommand kCountdown{
    Kind::Countdown,
    QStringLiteral("countdown"),
    QStringLiteral("countdown"),
    QStringLiteral("POST"),
    QStringLiteral("/countdown"),
    QStringLiteral("start a temporary countdown to that time of day"),
    {CommandArgument::timeOfDay(kTime.name, QStringLiteral("the time the countdown runs to")), kClock},
    &CommandTable::kTemporaryCountdown,
    Timing::AfterBoundary,
    std::nullopt,
    Leading::Keep,
    countdownFrame,
    nullptr,
    nullptr,
    {},
    {},
    {},
    false,
    false,
    Frames::hexText,
    remainingField,
    countdownRequest,
};

const ClockCommand kReadSettings{
    Kind::ReadSettings,
    QStringLiteral("read_settings"),
    QStringLiteral("read"),
    QStringLiteral("GET"),
    QStringLiteral("/settings/{clock}"),
    QStringLiteral("read the clock's eight countdown groups"),
    {kClock},
    &CommandTable::kReadSettings,
    Timing::AtOnce,
    CommandTable::kReadSettings.answer,
    Leading::Skip,
    readRequest,
    settingsAnswer,
    nullptr,
    CommandTexts::kReadSuccess,
    QStringLiteral("No answer from the master clock to the read"),
    QStringLiteral("The master clock's answer is no settings reply"),
    false,
    false,
    Frames::hexText,
    settingsFields,
    readRequestOf,
};

CommandArgument pathOnly(CommandArgument argument) {
    argument.pathOnly = true;
    return argument;
}

const ClockCommand kWriteSettings{
    Kind::WriteSettings,
    QStringLiteral("write_settings"),
    QStringLiteral("write"),
    QStringLiteral("PUT"),
    QStringLiteral("/settings/{clock}"),
    QStringLiteral("write the groups of a settings file; its header [CLOCK1] or [CLOCK2] names the countdown "
                   "clock. The file is checked as a whole before anything is sent; a group line whose flag "
                   "letters are other than A or V, R or S and ,H is named as a warning"),
    {CommandArgument::settingsFile(QStringLiteral("file"), QStringLiteral("the settings file")),
     pathOnly(kClock)},
    &CommandTable::kWriteSettings,
    Timing::AtOnce,
    CommandTable::kWriteSettings.answer,
    Leading::Skip,
    writeFrame,
    settingsAnswer,
    nullptr,
    CommandTexts::kWriteSuccess,
    QStringLiteral("No answer from the master clock to the write"),
    QStringLiteral("The master clock's answer is no write reply"),
    true,
    false,
    writeFrameShown,
    settingsFields,
    writeRequestOf,
};

const ClockCommand kTimeFrame{
    Kind::TimeFrame,
    QStringLiteral("time_frame"),
    {},
    {},
    {},
    QStringLiteral("listen for the master clock's own time frame"),
    {},
    nullptr,
    Timing::Listen,
    CommandTable::kClockTime,
    Leading::Keep,
    nullptr,
    timeFrame,
    nullptr,
    {},
    kNoTimeFrame,
    kNoTimeFrameSent,
    false,
    false,
    Frames::hexText,
    clockTimeField,
    timeFrameRequest,
};

const ClockCommand kRmc{
    Kind::Rmc,
    QStringLiteral("gps"),
    QStringLiteral("gps"),
    QStringLiteral("POST"),
    QStringLiteral("/gps"),
    QStringLiteral(
        "stand in for a GPS receiver: send an RMC sentence of the computer's local time right after "
        "the next second boundary"),
    {CommandArgument::flag(QStringLiteral("valid"), QStringLiteral("whether the fix is valid"),
                           QStringLiteral("invalid"), QStringLiteral("mark the fix not valid"))},
    nullptr,
    Timing::AfterBoundary,
    std::nullopt,
    Leading::Keep,
    rmcSentence,
    nullptr,
    nullptr,
    {},
    {},
    {},
    false,
    false,
    sentenceShown,
    sentenceField,
    rmcRequest,
};

const ClockCommand kSyncComputer{
    Kind::SyncComputer,
    QStringLiteral("sync_computer"),
    QStringLiteral("sync-computer"),
    {},
    {},
    QStringLiteral(
        "set the computer's clock from the master clock's time frame, which must arrive within 3 to 4 "
        "seconds: it moves by the master clock's offset, to the time nearest the computer's own (the "
        "date is not taken from the frame)"),
    {},
    nullptr,
    Timing::Listen,
    CommandTable::kClockTime,
    Leading::Keep,
    nullptr,
    timeFrame,
    setComputerClock,
    CommandTexts::kSynchronizeSuccess,
    kNoTimeFrame,
    kNoTimeFrameSent,
    false,
    false,
    Frames::hexText,
    clockTimeField,
    syncRequest,
};

} // namespace

CommandArgument CommandArgument::timeOfDay(const QString& name, const QString& description) {
    CommandArgument argument;
    argument.name = name;
    argument.description = description;
    return argument;
}

CommandArgument CommandArgument::number(const QString& name, const QString& description, int least,
                                        int most) {
    CommandArgument argument = timeOfDay(name, description);
    argument.input = Input::Number;
    argument.least = least;
    argument.most = most;
    return argument;
}

CommandArgument CommandArgument::flag(const QString& name, const QString& description,
                                      const QString& negation, const QString& negationHelp) {
    CommandArgument argument = timeOfDay(name, description);
    argument.input = Input::Flag;
    argument.negation = negation;
    argument.negationHelp = negationHelp;
    return argument;
}

CommandArgument CommandArgument::settingsFile(const QString& name, const QString& description) {
    CommandArgument argument = timeOfDay(name, description);
    argument.input = Input::SettingsFile;
    return argument;
}

QString CommandArgument::range() const {
    return most - least == 1 ? QStringLiteral("%1 or %2").arg(least).arg(most)
                             : QStringLiteral("a whole number from %1 to %2").arg(least).arg(most);
}

QString ClockCommand::missingAnswerText(const ClockOutcome& outcome) const {
    return outcome.received.isEmpty() ? noAnswerText : foreignAnswerText;
}

namespace ClockCommands {

const ClockCommand& of(ClockRequest::Kind kind) {
    switch (kind) {
    case Kind::SetTime:
        return kSetTime;
    case Kind::TypedTime:
        return kTypedTime;
    case Kind::Countdown:
        return kCountdown;
    case Kind::ReadSettings:
        return kReadSettings;
    case Kind::WriteSettings:
        return kWriteSettings;
    case Kind::TimeFrame:
        return kTimeFrame;
    case Kind::Rmc:
        return kRmc;
    case Kind::SyncComputer:
        return kSyncComputer;
    }
    Q_UNREACHABLE();
}

const QList<const ClockCommand*>& all() {
    // Every kind the enumeration has, so that none is left out of a list.
    static const QList<const ClockCommand*> commands = [] {
        const QMetaEnum kinds = QMetaEnum::fromType<Kind>();
        QList<const ClockCommand*> list;
        for (int i = 0; i < kinds.keyCount(); ++i)
            list << &of(Kind(kinds.value(i)));
        return list;
    }();
    return commands;
}

namespace {
template <typename Predicate> QList<const ClockCommand*> where(Predicate matches) {
    QList<const ClockCommand*> found;
    std::copy_if(all().cbegin(), all().cend(), std::back_inserter(found),
                 [&matches](const ClockCommand* command) { return matches(*command); });
    return found;
}
} // namespace

QList<const ClockCommand*> byWord(const QString& word) {
    return where([&word](const ClockCommand& command) { return !word.isEmpty() && command.word == word; });
}

QList<const ClockCommand*> byRoute(const QString& method, const QString& path) {
    return where([&](const ClockCommand& command) {
        return !path.isEmpty() && command.httpMethod == method && command.httpPath == path;
    });
}

const ClockCommand* chosen(const QList<const ClockCommand*>& sharing, const QStringList& given) {
    for (const ClockCommand* command : sharing) {
        QStringList takes;
        bool needsMore = false;
        for (const CommandArgument& argument : command->arguments) {
            takes << argument.name;
            needsMore =
                needsMore || (!argument.pathOnly && !argument.serviceOnly && !given.contains(argument.name));
        }
        const bool takesAll = std::all_of(given.cbegin(), given.cend(),
                                          [&takes](const QString& name) { return takes.contains(name); });
        if (takesAll && !needsMore)
            return command;
    }
    return nullptr;
}

} // namespace ClockCommands
