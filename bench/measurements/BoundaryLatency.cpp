// Boundary latency: from a second boundary to the last byte of the frame
// written for it at the simulator, for each timed command pressed at a random
// moment of the second, with the real seams.
#include "Bench.h"
#include "Figures.h"
#include "Measurement.h"
#include "Report.h"
#include "Stats.h"
#include "TimedCommands.h"

namespace {

QJsonObject measureBoundaryLatency(Bench& bench) {
    SimChild* const sim = bench.startSim();
    if (!sim || !bench.openWindow(sim->device()))
        return {};
    const QList<TimedCommand>& commands = TimedCommands::all();
    QList<QList<double>> latencyUs(commands.size());
    for (int press = 0; press < bench.options().presses; ++press)
        // Round robin, so that all commands see the same background load.
        for (qsizetype command = 0; command < commands.size(); ++command) {
            const std::optional<TimedFrame> frame = TimedCommands::press(bench, *sim, commands.at(command));
            if (!frame)
                return {};
            latencyUs[command] << double(frame->receivedUs - frame->boundaryUs);
        }
    QJsonObject figures{{QStringLiteral("presses"), bench.options().presses}};
    for (qsizetype command = 0; command < commands.size(); ++command) {
        const QString& name = commands.at(command).button;
        const QList<double>& samples = latencyUs.at(command);
        const double medianMs = Figures::usToMs(Stats::median(samples));
        const double p99Ms = Figures::usToMs(Stats::percentile(samples, 99));
        bench.report().addTarget(QStringLiteral("Boundary latency %1, median").arg(name), medianMs, 0.3,
                                 QStringLiteral("ms"), 3);
        bench.report().addTarget(QStringLiteral("Boundary latency %1, p99").arg(name), p99Ms, 1,
                                 QStringLiteral("ms"), 3);
        figures.insert(name, QJsonObject{{QStringLiteral("median_ms"), Figures::rounded(medianMs)},
                                         {QStringLiteral("p99_ms"), Figures::rounded(p99Ms)},
                                         {QStringLiteral("max_ms"),
                                          Figures::rounded(Figures::usToMs(Stats::maximum(samples)))},
                                         {QStringLiteral("samples_us"), Figures::rounded(samples, 0)}});
    }
    return figures;
}

[[maybe_unused]] const bool kRegistered = Measurement::add(
    {30, QStringLiteral("boundary"), QStringLiteral("boundary_latency"), measureBoundaryLatency});

} // namespace
