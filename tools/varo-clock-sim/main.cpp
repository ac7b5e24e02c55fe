#include "FrameLog.h"
#include "Line.h"
#include "MicroClock.h"
#include "PtyLine.h"
#include "SerialDeviceLine.h"
#include "SignalPipe.h"
#include "SimOptions.h"
#include "Simulator.h"
#include "VaroVersion.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {
constexpr int kUsageError = 2;
constexpr int kSetUpError = 1;

int fail(int exitCode, const QString& message) {
    std::fprintf(stderr, "varo-clock-sim: %s\n", qPrintable(message));
    return exitCode;
}

std::unique_ptr<Line> openLine(const SimOptions& options, QString* error) {
    if (options.device.isEmpty())
        return PtyLine::open(error);
    return SerialDeviceLine::open(options.device, options.baud, error);
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varo-clock-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARO_VERSION));
    // A reader that went away must not kill the clock in the middle of a write.
    std::signal(SIGPIPE, SIG_IGN);

    QString error;
    const std::optional<SimOptions> options = SimOptions::parse(QCoreApplication::arguments(), &error);
    if (!options)
        return fail(kUsageError, error);

    SignalPipe signalPipe;
    if (!signalPipe.install(&error))
        return fail(kSetUpError, error);
    FrameLog log(options->logFile);
    if (!log.isOpen())
        return fail(kSetUpError, options->logFile + QStringLiteral(": ") + log.errorString());
    const std::unique_ptr<Line> line = openLine(*options, &error);
    if (!line)
        return fail(kSetUpError, error);

    log.device(line->deviceName());
    Simulator simulator(*line, log, *options);
    QObject::connect(&simulator, &Simulator::finished, &app, &QCoreApplication::exit);
    QObject::connect(&signalPipe, &SignalPipe::caught, &app, [&log](int signalNumber) {
        log.event(MicroClock::nowUs(), QStringLiteral("signal %1; ending").arg(signalNumber));
        QCoreApplication::exit(0);
    });
    simulator.start();
    return QCoreApplication::exec();
}
