#include "CliArguments.h"

#include "common/RuntimeError.h"
#include "schedule/TimeText.h"
#include "serial/LineSettings.h"

#include <QMap>
#include <QSet>

namespace {

using Command = CliArguments::Command;

struct CommandForm {
    Command command;
    int minWords; // words after the command name
    int maxWords;
    QSet<QString> options; // the command's own options
};

const QMap<QString, CommandForm>& commandForms() {
    static const QMap<QString, CommandForm> forms = {
        {QStringLiteral("set-time"), {Command::SetTime, 0, 1, {}}},
        {QStringLiteral("countdown"), {Command::Countdown, 1, 1, {QStringLiteral("--clock")}}},
        {QStringLiteral("read"), {Command::Read, 0, 0, {QStringLiteral("--clock"), QStringLiteral("--out")}}},
        {QStringLiteral("write"), {Command::Write, 1, 1, {}}},
        {QStringLiteral("sync-computer"), {Command::SyncComputer, 0, 0, {}}},
        {QStringLiteral("gps"),
         {Command::Gps, 0, 0, {QStringLiteral("--invalid"), QStringLiteral("--seconds")}}},
        {QStringLiteral("ports"), {Command::Ports, 0, 0, {}}},
    };
    return forms;
}

const QSet<QString> kValueOptions = {QStringLiteral("--port"), QStringLiteral("--baud"),
                                     QStringLiteral("--clock"), QStringLiteral("--out"),
                                     QStringLiteral("--seconds")};
const QSet<QString> kFlagOptions = {QStringLiteral("--json"), QStringLiteral("--invalid"),
                                    QStringLiteral("--help"), QStringLiteral("--version")};
constexpr int kMostGpsSeconds = 24 * 3600;

std::optional<QTime> timeArgument(const QString& text, QString* error) {
    const std::optional<QTime> time = TimeText::parse(text);
    if (!time)
        *error = QStringLiteral("Writing Error %1:Type mismatch: \"%2\" is no time of day (HH:MM:SS)")
                     .arg(int(ErrorNumber::TypeMismatch))
                     .arg(text);
    return time;
}

} // namespace

std::optional<CliArguments> CliArguments::parse(const QStringList& arguments, QString* error) {
    CliArguments parsed;
    QMap<QString, QString> values;
    QSet<QString> flags;
    QStringList words;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (kValueOptions.contains(argument)) {
            if (i + 1 >= arguments.size()) {
                *error = argument + QStringLiteral(" needs a value");
                return std::nullopt;
            }
            values.insert(argument, arguments.at(++i));
        } else if (kFlagOptions.contains(argument)) {
            flags.insert(argument);
        } else if (argument.startsWith(QLatin1String("--"))) {
            *error = QStringLiteral("unknown option ") + argument;
            return std::nullopt;
        } else {
            words << argument;
        }
    }
    if (flags.contains(QStringLiteral("--help"))) {
        parsed.command = Command::Help;
        return parsed;
    }
    if (flags.contains(QStringLiteral("--version"))) {
        parsed.command = Command::Version;
        return parsed;
    }
    if (words.isEmpty()) {
        *error = QStringLiteral("no command given");
        return std::nullopt;
    }
    const QString name = words.takeFirst();
    if (!commandForms().contains(name)) {
        *error = QStringLiteral("unknown command ") + name;
        return std::nullopt;
    }
    const CommandForm& form = commandForms().value(name);
    parsed.command = form.command;
    parsed.commandName = name;
    if (words.size() < form.minWords || words.size() > form.maxWords) {
        *error = QStringLiteral("wrong number of arguments for ") + name;
        return std::nullopt;
    }
    const QSet<QString> commandOptions = {QStringLiteral("--clock"), QStringLiteral("--out"),
                                          QStringLiteral("--invalid"), QStringLiteral("--seconds")};
    QStringList given = values.keys() + QStringList(flags.begin(), flags.end());
    for (const QString& option : given)
        if (commandOptions.contains(option) && !form.options.contains(option)) {
            *error = option + QStringLiteral(" does not go with ") + name;
            return std::nullopt;
        }

    parsed.json = flags.contains(QStringLiteral("--json"));
    parsed.port = values.value(QStringLiteral("--port"));
    if (values.contains(QStringLiteral("--baud"))) {
        bool ok = false;
        parsed.baudRate = values.value(QStringLiteral("--baud")).toInt(&ok);
        if (!ok || !LineSettings::kClockSpeeds.contains(parsed.baudRate)) {
            *error = QStringLiteral("--baud takes 4800, 9600, 19200 or 38400");
            return std::nullopt;
        }
    }
    if (form.options.contains(QStringLiteral("--clock"))) {
        const QString clock = values.value(QStringLiteral("--clock"));
        if (clock != QLatin1String("1") && clock != QLatin1String("2")) {
            *error = name + QStringLiteral(" needs --clock 1 or --clock 2");
            return std::nullopt;
        }
        parsed.clockNumber = clock.toInt();
    }
    switch (parsed.command) {
    case Command::SetTime:
        if (!words.isEmpty() && !(parsed.typedTime = timeArgument(words.first(), error)))
            return std::nullopt;
        break;
    case Command::Countdown: {
        const std::optional<QTime> start = timeArgument(words.first(), error);
        if (!start)
            return std::nullopt;
        parsed.countdownStart = *start;
        break;
    }
    case Command::Read:
        parsed.file = values.value(QStringLiteral("--out"));
        break;
    case Command::Write:
        parsed.file = words.first();
        break;
    case Command::Gps:
        parsed.gpsStatus = flags.contains(QStringLiteral("--invalid")) ? 'V' : 'A';
        if (values.contains(QStringLiteral("--seconds"))) {
            bool ok = false;
            parsed.gpsSeconds = values.value(QStringLiteral("--seconds")).toInt(&ok);
            if (!ok || parsed.gpsSeconds < 1 || parsed.gpsSeconds > kMostGpsSeconds) {
                *error = QStringLiteral("--seconds takes a whole number from 1 to %1").arg(kMostGpsSeconds);
                return std::nullopt;
            }
        }
        break;
    default:
        break;
    }
    return parsed;
}

QString CliArguments::helpText() {
    return QStringLiteral(
        "Usage: varo-clock-cli [--port DEVICE|COMn|N] [--baud 4800|9600|19200|38400] [--json] COMMAND ...\n"
        "\n"
        "Runs one command of the Varo Clock window against the master clock and exits.\n"
        "\n"
        "Commands:\n"
        "  set-time                  set the master clock to the computer's date and time,\n"
        "                            right after a second boundary\n"
        "  set-time HH:MM:SS         set it to a typed time of day with the computer's date\n"
        "  countdown HH:MM:SS --clock 1|2\n"
        "                            start a temporary countdown to that time of day\n"
        "  read --clock 1|2 [--out FILE]\n"
        "                            read the clock's eight countdown groups; print them as a\n"
        "                            settings file or save them to FILE\n"
        "  write FILE                write the groups of a settings file; its header\n"
        "                            [CLOCK1] or [CLOCK2] names the countdown clock\n"
        "  sync-computer             set the computer's clock from the master clock's time frame\n"
        "  gps [--invalid] [--seconds N]\n"
        "                            send the simulated GPS receiver's RMC sentence right after\n"
        "                            each of the next N second boundaries (default 1); --invalid\n"
        "                            marks the fix not valid\n"
        "  ports                     list the usable ports with their devices and descriptions\n"
        "\n"
        "Options:\n"
        "  --port DEVICE|COMn|N      a device (/dev/ttyUSB0, /dev/serial/by-id/...), a Windows port\n"
        "                            name, or a port number 1-16 as the window's port list counts\n"
        "                            them (VARO_CLOCK_COM<n> replaces the device of port n).\n"
        "                            Default: the last usable port, as the window chooses it.\n"
        "  --baud N                  line speed, 4800, 9600 (default), 19200 or 38400; n,8,1\n"
        "  --json                    print one JSON object for the command instead of text\n"
        "  --help, --version\n"
        "\n"
        "Each command prints what it sent and received, as the window shows it. Answers are\n"
        "awaited as in the window: 2 to 3 s for a settings read or write, 3 to 4 s for the\n"
        "master clock's time frame.\n"
        "\n"
        "Exit status:\n"
        "  0  success\n"
        "  1  any other failure on the line (a write refused, the device lost)\n"
        "  2  usage error\n"
        "  3  no usable port, or the port cannot be opened\n"
        "  4  no answer in time, or an answer with foreign codes\n"
        "  5  an answer cut short\n"
        "  6  the settings file cannot be read, does not load, or cannot be saved\n"
        "  7  the computer's clock cannot be set\n"
        "The message on standard error is the window's own text for the same failure.\n");
}
