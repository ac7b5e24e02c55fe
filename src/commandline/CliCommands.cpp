#include "CliCommands.h"

#include "common/RuntimeError.h"
#include "schedule/TimeText.h"
#include "session/PortChoice.h"

#include <algorithm>

namespace {

using Command = CliArguments::Command;
using Input = CommandArgument::Input;
constexpr int kMostSeconds = 24 * 3600;
// A time frame's step is never more than half a day.
constexpr int kMostStepSeconds = 12 * 3600;
// A number with at most this many values shows them all: "--clock 1|2".
constexpr int kMostListedValues = 4;

// --seconds N, 1 to a day, into `seconds`.
CliOption secondsOption(const QString& help, int CliArguments::*seconds) {
    return {QStringLiteral("seconds"), QStringLiteral("N"), help, false,
            [seconds](const QString& value, CliArguments& arguments) {
                bool ok = false;
                const int given = value.toInt(&ok);
                if (!ok || given < 1 || given > kMostSeconds)
                    return QStringLiteral("--seconds takes a whole number from 1 to %1").arg(kMostSeconds);
                arguments.*seconds = given;
                return QString();
            }};
}

CliOption requireSyncOption(const QString& help) {
    return {QStringLiteral("require-sync"), QString(), help, false,
            [](const QString&, CliArguments& arguments) {
                arguments.requireSync = true;
                return QString();
            }};
}

// What the command line adds to a clock command of its word: its own
// options and the help that goes with them.
struct Extras {
    QList<CliOption> options;
    QString help;
};

Extras extrasOf(const QString& word) {
    if (word == QLatin1String("set-time"))
        return {{requireSyncOption(QStringLiteral("send nothing and exit 8 unless the computer's clock is "
                                                  "synchronized"))},
                {}};
    if (word == QLatin1String("read"))
        return {
            {{QStringLiteral("out"), QStringLiteral("FILE"),
              QStringLiteral("save the groups to FILE instead of printing them; FILE is a regular file or a "
                             "symbolic link to one, which is written in place"),
              false,
              [](const QString& value, CliArguments& arguments) {
                  arguments.file = value;
                  return QString();
              }}},
            QStringLiteral(" and print them as a settings file")};
    if (word == QLatin1String("sync-computer"))
        return {
            {{QStringLiteral("max-step"), QStringLiteral("SECONDS"),
              QStringLiteral("allow a step of the computer's clock of up to SECONDS, 0 to %1 (default 60)")
                  .arg(kMostStepSeconds),
              false,
              [](const QString& value, CliArguments& arguments) {
                  bool ok = false;
                  const int seconds = value.toInt(&ok);
                  if (!ok || seconds < 0 || seconds > kMostStepSeconds)
                      return QStringLiteral("--max-step takes a whole number of seconds from 0 to %1")
                          .arg(kMostStepSeconds);
                  arguments.maxStep = seconds;
                  return QString();
              }}},
            QStringLiteral("; a larger step than --max-step allows is refused with exit status 9 and sets "
                           "nothing")};
    if (word == QLatin1String("gps"))
        return {{secondsOption(QStringLiteral("send N sentences, one after each of the next N second "
                                              "boundaries, 1 to %1 (default 1)")
                                   .arg(kMostSeconds),
                               &CliArguments::repeats)},
                {}};
    return {};
}

// How the command line takes a time of day.
QString takeTime(const CommandArgument& argument, const QString& text, CliArguments& arguments) {
    const std::optional<QTime> time = TimeText::parseTimeOfDay(text);
    if (!time)
        return QStringLiteral("Writing Error %1:Type mismatch: \"%2\" is no time of day (HH:MM:SS)")
            .arg(int(ErrorNumber::TypeMismatch))
            .arg(text);
    arguments.given.times.insert(argument.name, *time);
    return QString();
}

// An argument given as an option: a number, or a flag's no.
CliOption optionOf(const CommandArgument& argument, bool required) {
    if (argument.input == Input::Flag)
        return {argument.negation, QString(), argument.negationHelp, false,
                [name = argument.name](const QString&, CliArguments& arguments) {
                    arguments.given.flags.insert(name, false);
                    return QString();
                }};
    QStringList values;
    for (int value = argument.least; value <= argument.most; ++value)
        values << QString::number(value);
    const bool listed = values.size() <= kMostListedValues;
    CliOption option{argument.name,
                     listed ? values.join(QLatin1Char('|')) : QStringLiteral("N"),
                     argument.description,
                     required,
                     {}};
    option.take = [argument, listed, needed = option.neededForm()](const QString& value,
                                                                   CliArguments& arguments) {
        bool ok = false;
        const int number = value.toInt(&ok);
        if (!ok || number < argument.least || number > argument.most || value != QString::number(number))
            return listed ? QStringLiteral("%1 needs %2").arg(arguments.commandName, needed)
                          : QStringLiteral("--%1 takes %2").arg(argument.name, argument.range());
        arguments.given.numbers.insert(argument.name, number);
        return QString();
    };
    return option;
}

// The command line's form of the clock commands that share `word`: their
// words and options from their arguments (optional where one of them takes
// the argument and another does not), then the command line's own.
CliCommand clockCommandOf(const QString& word) {
    const QList<const ClockCommand*> sharing = ClockCommands::byWord(word);
    QList<CommandArgument> arguments;
    QStringList names;
    QStringList summaries;
    for (const ClockCommand* command : sharing) {
        summaries << command->summary;
        for (const CommandArgument& argument : command->arguments)
            if (!argument.pathOnly && !argument.serviceOnly && !names.contains(argument.name)) {
                names << argument.name;
                arguments << argument;
            }
    }
    const auto takenByAll = [&sharing](const QString& name) {
        return std::all_of(sharing.cbegin(), sharing.cend(), [&name](const ClockCommand* command) {
            return std::any_of(command->arguments.cbegin(), command->arguments.cend(),
                               [&name](const CommandArgument& argument) { return argument.name == name; });
        });
    };
    const Extras extras = extrasOf(word);
    CliCommand cli{Command::Clock, word, {}, {}, summaries.join(QStringLiteral(", ")) + extras.help, {}};
    QList<CommandArgument> positional;
    for (const CommandArgument& argument : arguments) {
        const bool required = takenByAll(argument.name);
        if (argument.input == Input::TimeOfDay || argument.input == Input::SettingsFile) {
            const QString form =
                argument.input == Input::TimeOfDay ? QStringLiteral("HH:MM:SS") : QStringLiteral("FILE");
            cli.words << (required ? form : QLatin1Char('[') + form + QLatin1Char(']'));
            positional << argument;
        } else {
            cli.options << optionOf(argument, required);
        }
    }
    cli.options << extras.options;
    cli.takeWords = [positional](const QStringList& words, CliArguments& given) {
        for (int i = 0; i < words.size(); ++i) {
            if (positional[i].input == Input::SettingsFile) {
                given.file = words[i];
                continue;
            }
            const QString error = takeTime(positional[i], words[i], given);
            if (!error.isEmpty())
                return error;
        }
        return QString();
    };
    return cli;
}

} // namespace

QString CliOption::usage() const {
    return valueName.isEmpty() ? QStringLiteral("--") + name : QStringLiteral("--%1 %2").arg(name, valueName);
}

QString CliOption::neededForm() const {
    QStringList forms;
    for (const QString& value : valueName.split(QLatin1Char('|')))
        forms << QStringLiteral("--%1 %2").arg(name, value);
    return forms.join(QStringLiteral(" or "));
}

int CliCommand::fewestWords() const {
    return int(std::count_if(words.cbegin(), words.cend(),
                             [](const QString& word) { return !word.startsWith(QLatin1Char('[')); }));
}

QString CliCommand::usage() const {
    QStringList parts{name};
    parts << words;
    for (const CliOption& option : options)
        parts << (option.required ? option.usage() : QLatin1Char('[') + option.usage() + QLatin1Char(']'));
    return parts.join(QLatin1Char(' '));
}

namespace CliCommands {

const QList<CliOption>& globalOptions() {
    static const QList<CliOption> options = {
        {QStringLiteral("port"), QStringLiteral("DEVICE|COMn|N"),
         QStringLiteral("a device (/dev/ttyUSB0, /dev/serial/by-id/...), a Windows port name, a network "
                        "port rfc2217://HOST:PORT or socket://HOST:PORT, or a port "
                        "number 1-16 as the window's port list counts them (VARO_CLOCK_COM<n> replaces the "
                        "device of port n). Without it the command uses the one port there is; with "
                        "several it names them and exits 2"),
         false,
         [](const QString& value, CliArguments& arguments) {
             if (!PortChoice::fromText(value))
                 return QStringLiteral("--port %1 %2").arg(value, PortChoice::refusal(value));
             arguments.port = value;
             return QString();
         }},
        {QStringLiteral("baud"), LineSpeeds::listed(QStringLiteral("|")),
         QStringLiteral("line speed in baud: %1 (default %2); no parity, 8 data bits, 1 stop bit")
             .arg(LineSpeeds::listed(QStringLiteral(", "), QStringLiteral(" or ")))
             .arg(LineSpeeds::kDefault),
         false,
         [](const QString& value, CliArguments& arguments) {
             const std::optional<int> speed = LineSpeeds::fromText(value);
             if (!speed)
                 return LineSpeeds::refusal(QStringLiteral("--baud"));
             arguments.baudRate = *speed;
             return QString();
         }},
        {QStringLiteral("json"), QString(),
         QStringLiteral("print one JSON object instead of text, for every outcome including a usage error"),
         false,
         [](const QString&, CliArguments& arguments) {
             arguments.json = true;
             return QString();
         }},
        {QStringLiteral("help"), QString(), QStringLiteral("print this help and exit"), false, {}},
        {QStringLiteral("version"), QString(), QStringLiteral("print the version and exit"), false, {}},
    };
    return options;
}

const QList<CliCommand>& all() {
    static const QList<CliCommand> commands = [] {
        QList<CliCommand> list;
        QStringList words;
        for (const ClockCommand* command : ClockCommands::all())
            if (!command->word.isEmpty() && !words.contains(command->word)) {
                words << command->word;
                list << clockCommandOf(command->word);
            }
        list << CliCommand{Command::Ports,
                           QStringLiteral("ports"),
                           {},
                           {},
                           QStringLiteral("list the usable ports with their devices and descriptions"),
                           {}};
        list << CliCommand{
            Command::Status,
            QStringLiteral("status"),
            {},
            {secondsOption(QStringLiteral("listen to the master clock's time frames for N "
                                          "seconds, 1 to %1 (default 3)")
                               .arg(kMostSeconds),
                           &CliArguments::statusSeconds),
             requireSyncOption(QStringLiteral("exit 8 when the computer's clock is not "
                                              "synchronized"))},
            QStringLiteral("whether the computer's clock is synchronized and, from its own time "
                           "frames, the master clock's time and offset"),
            {}};
        return list;
    }();
    return commands;
}

const CliCommand* find(const QString& name) {
    for (const CliCommand& command : all())
        if (command.name == name)
            return &command;
    return nullptr;
}

} // namespace CliCommands
