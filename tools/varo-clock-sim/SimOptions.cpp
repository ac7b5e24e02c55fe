#include "SimOptions.h"

#include <QCommandLineParser>

namespace {
const char* const kDescription =
    "Stands in for the broadcast countdown master clock on a serial line.\n"
    "\n"
    "Without --device it makes a pseudo-terminal and prints \"DEVICE /dev/pts/N\" as its first\n"
    "line: open that device to talk to the clock. It then logs one line per frame or event:\n"
    "  HH:MM:SS.uuuuuu t=<epoch microseconds> <RX|TX|EV> <hex bytes|-> <text>\n"
    "RX lines carry the time the frame's last byte was read, TX lines the time the write\n"
    "returned.\n"
    "\n"
    "Ending: SIGINT and SIGTERM end it with exit status 0. On a pseudo-terminal it also ends\n"
    "(status 0) when its peer closes the device: the simulator holds the device open itself\n"
    "and counts the opens and closes of others (inotify), so a peer may close and reopen it\n"
    "within --hangup-grace without ending the run; --persist keeps it running regardless.\n"
    "Bytes sent while nobody has the device open are dropped. A real device (--device) never\n"
    "hangs up; losing it ends the run with status 1.";

constexpr int kDayMs = 24 * 3600 * 1000;

struct Numbers {
    const char* name;
    int* value;
    int minimum;
};
} // namespace

std::optional<SimOptions> SimOptions::parse(const QStringList& arguments, QString* error) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("device"),
         QStringLiteral("Use the serial device <path> instead of a pseudo-terminal."),
         QStringLiteral("path")},
        {QStringLiteral("baud"), QStringLiteral("Line speed of --device (default 9600), 8N1."),
         QStringLiteral("n")},
        {QStringLiteral("time-frames"),
         QStringLiteral("Send the clock's time frame every <n> seconds, right after its second boundary."),
         QStringLiteral("n")},
        {QStringLiteral("offset-ms"),
         QStringLiteral("Start the clock <ms> ahead of the computer's local time (negative: behind)."),
         QStringLiteral("ms")},
        {QStringLiteral("log-file"), QStringLiteral("Also write the log to <path>."), QStringLiteral("path")},
        {QStringLiteral("hangup-grace"),
         QStringLiteral(
             "End <ms> after the peer closed the pseudo-terminal, unless it reopens it (default 1000)."),
         QStringLiteral("ms")},
        {QStringLiteral("persist"), QStringLiteral("Keep running when the peer closes the pseudo-terminal.")},
        {QStringLiteral("silent"), QStringLiteral("Never answer a read or a write.")},
        {QStringLiteral("cut"), QStringLiteral("Send only the first <n> bytes of each answer."),
         QStringLiteral("n")},
        {QStringLiteral("foreign"),
         QStringLiteral(
             "Answer a read with a write reply (CC Cn) and a write with a settings reply (BB Bn).")},
        {QStringLiteral("split"), QStringLiteral("Send answers in pieces of <n> bytes."),
         QStringLiteral("n")},
        {QStringLiteral("split-delay"), QStringLiteral("Pause between the pieces of --split (default 50)."),
         QStringLiteral("ms")},
        {QStringLiteral("stray"), QStringLiteral("Send <n> stray bytes 0x55 before each answer."),
         QStringLiteral("n")},
        {QStringLiteral("delay"), QStringLiteral("Wait <ms> before each answer."), QStringLiteral("ms")},
        {QStringLiteral("ignore-set-time"),
         QStringLiteral("Log set-time frames but keep the clock's own time, as a clock behind a relay that "
                        "drops them.")},
        {QStringLiteral("time-frame-first"),
         QStringLiteral("Send the clock's time frame (AA 00 ...) just before each answer.")},
    });
    parser.process(arguments);
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first());
        return std::nullopt;
    }

    SimOptions options;
    options.device = parser.value(QStringLiteral("device"));
    options.logFile = parser.value(QStringLiteral("log-file"));
    options.persist = parser.isSet(QStringLiteral("persist"));
    options.silent = parser.isSet(QStringLiteral("silent"));
    options.foreign = parser.isSet(QStringLiteral("foreign"));
    options.ignoreSetTime = parser.isSet(QStringLiteral("ignore-set-time"));
    options.timeFrameFirst = parser.isSet(QStringLiteral("time-frame-first"));
    const Numbers numbers[] = {
        {"baud", &options.baud, 1},
        {"time-frames", &options.timeFrameSeconds, 1},
        {"offset-ms", &options.offsetMs, -kDayMs},
        {"hangup-grace", &options.hangupGraceMs, 0},
        {"cut", &options.cut, 1},
        {"split", &options.split, 1},
        {"split-delay", &options.splitDelayMs, 0},
        {"stray", &options.stray, 1},
        {"delay", &options.delayMs, 0},
    };
    for (const Numbers& number : numbers) {
        const QString name = QString::fromLatin1(number.name);
        if (!parser.isSet(name))
            continue;
        bool ok = false;
        *number.value = parser.value(name).toInt(&ok);
        if (!ok || *number.value < number.minimum) {
            *error = QStringLiteral("--%1 needs a whole number of at least %2").arg(name).arg(number.minimum);
            return std::nullopt;
        }
        if (number.value == &options.offsetMs && qAbs(*number.value) > kDayMs) {
            *error = QStringLiteral("--offset-ms must lie within a day, %1 to %2").arg(-kDayMs).arg(kDayMs);
            return std::nullopt;
        }
    }
    return options;
}
