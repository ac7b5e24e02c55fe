#include "CliCommands.h"

#include "common/RuntimeError.h"
#include "schedule/TimeText.h"
#include "session/PortChoice.h"

#include <algorithm>

namespace {

using Command = CliArguments::Command;
constexpr int kMostSeconds = 24 * 3600;
// A time frame's step is never more than half a day.
constexpr int kMostStepSeconds = 12 * 3600;

QString takeTime(const QString& text, QTime* time) {
    const std::optional<QTime> parsed = TimeText::parse(text);
    if (!parsed)
        return QStringLiteral("Writing Error %1:Type mismatch: \"%2\" is no time of day (HH:MM:SS)")
            .arg(int(ErrorNumber::TypeMismatch))
            .arg(text);
    *time = *parsed;
    return QString();
}

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

CliOption clockOption() {
    return {QStringLiteral("clock"), QStringLiteral("1|2"), QStringLiteral("the countdown clock"), true,
            [](const QString& value, CliArguments& arguments) {
                if (value != QLatin1String("1") && value != QLatin1String("2"))
                    return arguments.commandName + QStringLiteral(" needs --clock 1 or --clock 2");
                arguments.clockNumber = value.toInt();
                return QString();
            }};
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
                 return QStringLiteral("--port %1 names no port (Com1 to Com16, a number 1-16 or a device)")
                     .arg(value);
             arguments.port = value;
             return QString();
         }},
        {QStringLiteral("baud"), LineSpeeds::listed(QStringLiteral("|")),
         QStringLiteral("line speed in baud: %1 (default %2); no parity, 8 data bits, 1 stop bit")
             .arg(LineSpeeds::listed(QStringLiteral(", "), QStringLiteral(" or ")))
             .arg(LineSpeeds::kDefault),
         false,
         [](const QString& value, CliArguments& arguments) {
             bool ok = false;
             const int speed = value.toInt(&ok);
             if (!ok || !LineSpeeds::isOffered(speed))
                 return QStringLiteral("--baud takes ") +
                        LineSpeeds::listed(QStringLiteral(", "), QStringLiteral(" or "));
             arguments.baudRate = speed;
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
    static const QList<CliCommand> commands = {
        {Command::SetTime,
         QStringLiteral("set-time"),
         {QStringLiteral("[HH:MM:SS]")},
         {requireSyncOption(QStringLiteral("send nothing and exit 8 unless the computer's clock is "
                                           "synchronized"))},
         QStringLiteral("set the master clock to the computer's date and time right after a second "
                        "boundary, or to a typed time of day with the computer's date"),
         [](const QStringList& words, CliArguments& arguments) {
             if (words.isEmpty())
                 return QString();
             QTime typed;
             const QString error = takeTime(words.first(), &typed);
             arguments.typedTime = typed;
             return error;
         }},
        {Command::Countdown,
         QStringLiteral("countdown"),
         {QStringLiteral("HH:MM:SS")},
         {clockOption()},
         QStringLiteral("start a temporary countdown to that time of day"),
         [](const QStringList& words, CliArguments& arguments) {
             return takeTime(words.first(), &arguments.countdownStart);
         }},
        {Command::Read,
         QStringLiteral("read"),
         {},
         {clockOption(),
          {QStringLiteral("out"), QStringLiteral("FILE"),
           QStringLiteral("save the groups to FILE instead of printing them; FILE is a regular file or "
                          "a symbolic link to one, which is written in place"),
           false,
           [](const QString& value, CliArguments& arguments) {
               arguments.file = value;
               return QString();
           }}},
         QStringLiteral("read the clock's eight countdown groups and print them as a settings file"),
         {}},
        {Command::Write,
         QStringLiteral("write"),
         {QStringLiteral("FILE")},
         {},
         QStringLiteral("write the groups of a settings file; its header [CLOCK1] or [CLOCK2] names the "
                        "countdown clock. The file is checked as a whole before anything is sent; a group "
                        "line whose flag letters are other than A or V, R or S and ,H is named as a warning"),
         [](const QStringList& words, CliArguments& arguments) {
             arguments.file = words.first();
             return QString();
         }},
        {Command::SyncComputer,
         QStringLiteral("sync-computer"),
         {},
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
         QStringLiteral("set the computer's clock from the master clock's time frame, which must arrive "
                        "within 3 to 4 seconds: it moves by the master clock's offset, to the time nearest "
                        "the computer's own (the date is not taken from the frame); a larger step than "
                        "--max-step allows is refused with exit status 9 and sets nothing"),
         {}},
        {Command::Gps,
         QStringLiteral("gps"),
         {},
         {{QStringLiteral("invalid"), QString(), QStringLiteral("mark the fix not valid"), false,
           [](const QString&, CliArguments& arguments) {
               arguments.gpsStatus = 'V';
               return QString();
           }},
          secondsOption(QStringLiteral("send N sentences, 1 to %1 (default 1)").arg(kMostSeconds),
                        &CliArguments::gpsSeconds)},
         QStringLiteral("stand in for a GPS receiver: send an RMC sentence of the computer's local time "
                        "right after each of the next N second boundaries"),
         {}},
        {Command::Ports,
         QStringLiteral("ports"),
         {},
         {},
         QStringLiteral("list the usable ports with their devices and descriptions"),
         {}},
        {Command::Status,
         QStringLiteral("status"),
         {},
         {secondsOption(QStringLiteral("listen to the master clock's time frames for N seconds, 1 to %1 "
                                       "(default 3)")
                            .arg(kMostSeconds),
                        &CliArguments::statusSeconds),
          requireSyncOption(QStringLiteral("exit 8 when the computer's clock is not synchronized"))},
         QStringLiteral("whether the computer's clock is synchronized and, from its own time frames, the "
                        "master clock's time and offset"),
         {}},
    };
    return commands;
}

const CliCommand* find(const QString& name) {
    for (const CliCommand& command : all())
        if (command.name == name)
            return &command;
    return nullptr;
}

} // namespace CliCommands
