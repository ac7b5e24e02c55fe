#include "ServiceOptions.h"

#include "serial/LineSpeeds.h"
#include "session/ClockCommand.h"

#include <QCommandLineParser>
#include <QFile>
#include <QUrl>
#include <cmath>

#ifndef Q_OS_WIN
#include "ChronyReference.h"
#endif

namespace {
const QCommandLineOption kPort(QStringLiteral("port"), QString(), QStringLiteral("DEVICE"));
const QCommandLineOption kBaud(QStringLiteral("baud"), QString(), QStringLiteral("N"));
const QCommandLineOption kListen(QStringLiteral("listen"), QString(), QStringLiteral("ADDRESS:PORT"));
const QCommandLineOption kTokenFile(QStringLiteral("token-file"), QString(), QStringLiteral("FILE"));
const QCommandLineOption kAllowHost(QStringLiteral("allow-host"), QString(), QStringLiteral("NAME"));
const QCommandLineOption kCorrectAbove(QStringLiteral("correct-above"), QString(), QStringLiteral("SECONDS"));
const QCommandLineOption kCorrectBetween(QStringLiteral("correct-between"), QString(),
                                         QStringLiteral("HH:MM-HH:MM"));
const QCommandLineOption kCorrectUnsynchronized(QStringLiteral("correct-unsynchronized"));
const QCommandLineOption kCorrectMaxStep(QStringLiteral("correct-max-step"), QString(),
                                         QStringLiteral("SECONDS"));
const QCommandLineOption kChronySocket(QStringLiteral("chrony-socket"), QString(), QStringLiteral("PATH"));
const QCommandLineOption kPrometheus(QStringLiteral("prometheus"), QString(), QStringLiteral("URL"));
const QCommandLineOption kHelp(QStringLiteral("help"));
const QCommandLineOption kVersion(QStringLiteral("version"));
// A threshold within the line's jitter would set the master clock for nothing;
// the offset model tells no offset beyond half a day.
constexpr double kLeastThresholdSeconds = 0.1;
constexpr double kMostThresholdSeconds = 12 * 3600;

// "127.0.0.1:8642", "[::1]:8642", "localhost:8642"; port 0 takes any free port.
bool parseListen(const QString& text, QHostAddress* address, quint16* port) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        return false;
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    if (!ok || number > 65535)
        return false;
    *port = quint16(number);
    if (host == QLatin1String("localhost")) {
        *address = QHostAddress(QHostAddress::LocalHost);
        return true;
    }
    return address->setAddress(host);
}

// A name --allow-host takes, in lower case: a host as a URL names it, without a port.
std::optional<QString> hostName(const QString& text) {
    const QUrl url(QStringLiteral("http://") + text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() != -1 || url.authority() != text.toLower())
        return std::nullopt;
    return url.host();
}

// The seconds of `option`, from `least` to the offset model's reach; nothing,
// with `error`, for another value.
std::optional<double> secondsOf(const QCommandLineParser& parser, const QCommandLineOption& option,
                                double least, QString* error) {
    bool ok = false;
    const double seconds = parser.value(option).toDouble(&ok);
    if (ok && seconds >= least && seconds <= kMostThresholdSeconds)
        return seconds;
    *error = QStringLiteral("--%1 takes seconds from %2 to %3")
                 .arg(option.names().first())
                 .arg(least)
                 .arg(kMostThresholdSeconds);
    return std::nullopt;
}

// --correct-above and its companions into `rule` (none without it); false,
// with `error`, for a mistake.
bool parseCorrection(const QCommandLineParser& parser, std::optional<CorrectionPolicy::Rule>* rule,
                     QString* error) {
    if (!parser.isSet(kCorrectAbove)) {
        if (!parser.isSet(kCorrectBetween) && !parser.isSet(kCorrectUnsynchronized) &&
            !parser.isSet(kCorrectMaxStep))
            return true;
        *error = QStringLiteral("--correct-between, --correct-max-step and --correct-unsynchronized go with "
                                "--correct-above");
        return false;
    }
    const std::optional<double> seconds = secondsOf(parser, kCorrectAbove, kLeastThresholdSeconds, error);
    if (!seconds)
        return false;
    std::optional<double> mostStep = double(CorrectionPolicy::kDefaultMostStepUs) / 1e6;
    if (parser.isSet(kCorrectMaxStep) && !(mostStep = secondsOf(parser, kCorrectMaxStep, *seconds, error)))
        return false;
    // A step must not land under a running countdown: the hours are the operator's to choose.
    if (!parser.isSet(kCorrectBetween)) {
        *error = QStringLiteral("--correct-above needs --correct-between HH:MM-HH:MM, the hours in which the "
                                "master clock may be set");
        return false;
    }
    const std::optional<TimeWindow> window = TimeWindow::parse(parser.value(kCorrectBetween));
    if (!window) {
        *error = QStringLiteral("--correct-between takes HH:MM-HH:MM, two different times (equal ends are no "
                                "time at all), for example 03:00-04:30 or 23:00-01:00");
        return false;
    }
    *rule =
        CorrectionPolicy::Rule{qint64(std::llround(*seconds * 1e6)), *window,
                               parser.isSet(kCorrectUnsynchronized), qint64(std::llround(*mostStep * 1e6))};
    return true;
}

// --prometheus's URL: a Prometheus's base address, http or https, under a path
// where its --web.route-prefix puts it; nothing, with `error`, for another.
std::optional<QUrl> prometheusUrl(const QString& text, QString* error) {
    const QUrl url(text, QUrl::StrictMode);
    const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    if (url.isValid() && web && !url.host().isEmpty() && !url.hasQuery() && !url.hasFragment() &&
        url.userInfo().isEmpty())
        return url;
    *error = QStringLiteral("--prometheus takes the http or https address of a Prometheus, without a query "
                            "or a password, for example http://127.0.0.1:9090: %1")
                 .arg(text);
    return std::nullopt;
}

// Whether --chrony-socket's path can be one; `error` says why not.
bool isChronySocketPath(const QString& path, QString* error) {
#ifdef Q_OS_WIN
    Q_UNUSED(path)
    *error = QStringLiteral("--chrony-socket: chronyd and its sockets are on Linux only");
    return false;
#else
    if (path.isEmpty()) {
        *error = QStringLiteral("--chrony-socket needs the path of chronyd's socket");
        return false;
    }
    *error = QStringLiteral("--chrony-socket: a socket's path has at most %1 bytes")
                 .arg(ChronyReference::kLongestPath);
    return QFile::encodeName(path).size() <= ChronyReference::kLongestPath;
#endif
}
} // namespace

std::optional<ServiceOptions> ServiceOptions::parse(const QStringList& arguments, QString* error) {
    QCommandLineParser parser;
    parser.addOptions({kPort, kBaud, kListen, kTokenFile, kAllowHost, kCorrectAbove, kCorrectBetween,
                       kCorrectUnsynchronized, kCorrectMaxStep, kChronySocket, kPrometheus, kHelp, kVersion});
    if (!parser.parse(QStringList{QStringLiteral("varo-clock-service")} + arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    ServiceOptions options;
    if (parser.isSet(kHelp)) {
        options.action = Action::Help;
        return options;
    }
    if (parser.isSet(kVersion)) {
        options.action = Action::Version;
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument ") + parser.positionalArguments().first();
        return std::nullopt;
    }
    if (!parser.isSet(kPort)) {
        *error = QStringLiteral("--port names the master clock's serial port");
        return std::nullopt;
    }
    const std::optional<PortChoice> port = PortChoice::fromText(parser.value(kPort));
    if (!port) {
        *error =
            QStringLiteral("--port %1 %2").arg(parser.value(kPort), PortChoice::refusal(parser.value(kPort)));
        return std::nullopt;
    }
    options.port = *port;
    if (parser.isSet(kBaud)) {
        const std::optional<int> speed = LineSpeeds::fromText(parser.value(kBaud));
        if (!speed) {
            *error = LineSpeeds::refusal(QStringLiteral("--baud"));
            return std::nullopt;
        }
        options.baudRate = *speed;
    }
    if (parser.isSet(kListen) && !parseListen(parser.value(kListen), &options.address, &options.listenPort)) {
        *error = QStringLiteral("--listen takes ADDRESS:PORT, for example 127.0.0.1:8642 or [::1]:8642");
        return std::nullopt;
    }
    options.tokenFile = parser.value(kTokenFile);
    // Anyone who reaches the address could set the master clock.
    if (!options.address.isLoopback() && options.tokenFile.isEmpty()) {
        *error = QStringLiteral("--listen %1 is reachable from other computers: give --token-file too")
                     .arg(parser.value(kListen));
        return std::nullopt;
    }
    for (const QString& name : parser.values(kAllowHost)) {
        const std::optional<QString> host = hostName(name);
        if (!host) {
            *error = QStringLiteral("--allow-host takes a host name without a port, for example "
                                    "clock.studio.example.org: %1")
                         .arg(name);
            return std::nullopt;
        }
        options.allowedHosts << *host;
    }
    if (!parseCorrection(parser, &options.correction, error))
        return std::nullopt;
    if (parser.isSet(kChronySocket)) {
        // A loop: the computer would follow the master clock that is set from the computer.
        if (options.correction) {
            *error =
                QStringLiteral("--correct-above and --chrony-socket are opposite directions (the computer "
                               "would follow the master clock that is set from it): give one of them");
            return std::nullopt;
        }
        options.chronySocket = parser.value(kChronySocket);
        if (!isChronySocketPath(options.chronySocket, error))
            return std::nullopt;
    }
    if (parser.isSet(kPrometheus)) {
        const std::optional<QUrl> url = prometheusUrl(parser.value(kPrometheus), error);
        if (!url)
            return std::nullopt;
        options.prometheus = *url;
    }
    return options;
}

namespace {

// "  POST /countdown       {"time":"HH:MM:SS","clock":1}": each command's route
// and what its body holds, from its command.
QString commandRoutes() {
    QString text;
    QStringList done;
    for (const ClockCommand* command : ClockCommands::all()) {
        const QString route = command->httpMethod + QLatin1Char(' ') + command->httpPath;
        if (command->httpPath.isEmpty() || done.contains(route))
            continue;
        done << route;
        QString path = command->httpPath;
        QStringList bodies;
        for (const ClockCommand* sharing : ClockCommands::byRoute(command->httpMethod, command->httpPath)) {
            QStringList members;
            QString leftOut; // "[,"force":true]": members that may be left out
            for (const CommandArgument& argument : sharing->arguments) {
                const QString placeholder = QLatin1Char('{') + argument.name + QLatin1Char('}');
                if (path.contains(placeholder))
                    path.replace(placeholder,
                                 argument.range().replace(QStringLiteral(" or "), QStringLiteral("|")));
                else if (argument.input == CommandArgument::Input::SettingsFile)
                    members << QStringLiteral("the body: ") + argument.description;
                else {
                    const QString member =
                        QStringLiteral("\"%1\":%2")
                            .arg(argument.name, argument.input == CommandArgument::Input::TimeOfDay
                                                    ? QStringLiteral("\"HH:MM:SS\"")
                                                : argument.input == CommandArgument::Input::Flag
                                                    ? QStringLiteral("true")
                                                    : QString::number(argument.least));
                    if (argument.serviceOnly)
                        leftOut += QStringLiteral("[,%1]").arg(member);
                    else
                        members << member;
                }
            }
            const bool file = !members.isEmpty() && members.first().startsWith(QLatin1String("the body"));
            bodies << (file ? members.first()
                       : command->httpMethod == QLatin1String("GET")
                           ? sharing->summary
                           : QLatin1Char('{') + members.join(QLatin1Char(',')) + leftOut + QLatin1Char('}'));
        }
        text += QStringLiteral("  %1 %2 %3\n")
                    .arg(command->httpMethod.leftJustified(4), path.leftJustified(16),
                         bodies.join(QStringLiteral(" or ")));
    }
    return text;
}

} // namespace

QString ServiceOptions::helpText() {
    return QStringLiteral(
               "Usage: varo-clock-service --port DEVICE [--baud N] [--listen ADDRESS:PORT] [--token-file "
               "FILE]\n"
               "         [--allow-host NAME]...\n"
               "         [--correct-above SECONDS --correct-between HH:MM-HH:MM [--correct-max-step "
               "SECONDS]\n"
               "          [--correct-unsynchronized] | --chrony-socket PATH]\n"
               "         [--prometheus URL]\n"
               "\n"
               "Holds the master clock's serial port and serves it on HTTP and a WebSocket:\n"
               "  GET  /status          the port, the master clock's time and offset, the computer's "
               "clock\n"
               "  GET  /metrics         the same for Prometheus\n"
               "  GET  /live            a WebSocket pushing the status on every time frame and command\n"
               "  GET  /house/clocks    every clock of the building as --prometheus has them, for the\n"
               "                        house page /house\n") +
           commandRoutes() +
           QStringLiteral(
               "\n"
               "Options:\n"
               "  --port DEVICE          the serial port: a device, COMn or a port number 1-16\n"
               "  --baud N               line speed, 4800, 9600 (default), 19200 or 38400; n,8,1\n"
               "  --listen ADDRESS:PORT  where to listen (default 127.0.0.1:8642); an address other than\n"
               "                         loopback needs --token-file\n"
               "  --token-file FILE      every request needs \"Authorization: Bearer <the file's token>\";\n"
               "                         the file is regular, at most 4 KiB, its owner's alone (0600)\n"
               "  --allow-host NAME      answer requests that name this host too (a reverse proxy's);\n"
               "                         others than localhost and this computer's addresses get 421\n"
               "  --correct-above SECONDS\n"
               "                         set the master clock from the computer's clock when its offset\n"
               "                         is beyond SECONDS in three time frames in a row, at most once\n"
               "                         in ten minutes (twice as long after each correction the next\n"
               "                         time frame shows not taken, up to a day), while the computer's\n"
               "                         clock is synchronized\n"
               "  --correct-between HH:MM-HH:MM\n"
               "                         ... and only in these hours (needed; 23:00-01:00 runs over "
               "midnight)\n"
               "  --correct-max-step SECONDS\n"
               "                         ... and never by more than SECONDS (default 60): a larger offset\n"
               "                         is a wrong date or time zone, for a person to look at\n"
               "  --correct-unsynchronized\n"
               "                         ... even when the computer's clock is not synchronized (it is\n"
               "                         the reference itself)\n"
               "  --chrony-socket PATH   send each time frame to chronyd as a sample for its\n"
               "                         \"refclock SOCK PATH\"; not with --correct-above\n"
               "  --prometheus URL       the Prometheus that scrapes the building's clock services (job\n"
               "                         varo-clock), for the house page, such as http://127.0.0.1:9090\n"
               "  --help, --version\n"
               "\n"
               "Exit status: 0 after --help or --version, 1 when it cannot listen or read the token file,\n"
               "2 for a usage error. man varo-clock-service tells more.\n");
}
