#include "ServiceOptions.h"

#include "serial/LineSpeeds.h"

#include <QCommandLineParser>

namespace {
const QCommandLineOption kPort(QStringLiteral("port"), QString(), QStringLiteral("DEVICE"));
const QCommandLineOption kBaud(QStringLiteral("baud"), QString(), QStringLiteral("N"));
const QCommandLineOption kListen(QStringLiteral("listen"), QString(), QStringLiteral("ADDRESS:PORT"));
const QCommandLineOption kTokenFile(QStringLiteral("token-file"), QString(), QStringLiteral("FILE"));
const QCommandLineOption kHelp(QStringLiteral("help"));
const QCommandLineOption kVersion(QStringLiteral("version"));

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
} // namespace

std::optional<ServiceOptions> ServiceOptions::parse(const QStringList& arguments, QString* error) {
    QCommandLineParser parser;
    parser.addOptions({kPort, kBaud, kListen, kTokenFile, kHelp, kVersion});
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
        *error = QStringLiteral("--port %1 names no port (Com1 to Com16, a number 1-16 or a device)")
                     .arg(parser.value(kPort));
        return std::nullopt;
    }
    options.port = *port;
    if (parser.isSet(kBaud)) {
        bool ok = false;
        options.baudRate = parser.value(kBaud).toInt(&ok);
        if (!ok || !LineSpeeds::isOffered(options.baudRate)) {
            *error = QStringLiteral("--baud takes ") +
                     LineSpeeds::listed(QStringLiteral(", "), QStringLiteral(" or "));
            return std::nullopt;
        }
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
    return options;
}

QString ServiceOptions::helpText() {
    return QStringLiteral(
        "Usage: varo-clock-service --port DEVICE [--baud N] [--listen ADDRESS:PORT] [--token-file FILE]\n"
        "\n"
        "Holds the master clock's serial port and serves it on HTTP and a WebSocket:\n"
        "  GET  /status          the port, the master clock's time and offset, the computer's clock\n"
        "  GET  /metrics         the same for Prometheus\n"
        "  GET  /live            a WebSocket pushing the status on every time frame and command\n"
        "  POST /set-time        {} or {\"time\":\"HH:MM:SS\"}\n"
        "  POST /countdown       {\"clock\":1,\"time\":\"HH:MM:SS\"}\n"
        "  POST /gps             {\"valid\":true}\n"
        "  GET  /settings/1|2    reads a countdown clock's settings\n"
        "  PUT  /settings/1|2    writes a settings file\n"
        "\n"
        "Options:\n"
        "  --port DEVICE          the serial port: a device, COMn or a port number 1-16\n"
        "  --baud N               line speed, 4800, 9600 (default), 19200 or 38400; n,8,1\n"
        "  --listen ADDRESS:PORT  where to listen (default 127.0.0.1:8642); an address other than\n"
        "                         loopback needs --token-file\n"
        "  --token-file FILE      every request needs \"Authorization: Bearer <the file's token>\";\n"
        "                         a file that others may read is refused\n"
        "  --help, --version\n"
        "\n"
        "Exit status: 0 after --help or --version, 1 when it cannot listen or read the token file,\n"
        "2 for a usage error. man varo-clock-service tells more.\n");
}
