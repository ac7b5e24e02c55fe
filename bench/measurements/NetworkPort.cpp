// A master clock behind a serial device server: the set-time frame's latency
// from the second boundary to the simulator and the settings read's answer
// latency through ser2net's RFC 2217 port on 127.0.0.1, each beside the same
// figure on the simulator's own pseudo-terminal. The clock session does the
// exchanges, as the command line and the service do.
#include "Bench.h"
#include "BenchClock.h"
#include "Figures.h"
#include "Measurement.h"
#include "Report.h"
#include "Ser2net.h"
#include "Stats.h"
#include "protocol/Frames.h"
#include "protocol/WallClock.h"
#include "serial/QtSerialDevice.h"
#include "serial/SerialPortComponent.h"
#include "serial/SystemPortCatalog.h"
#include "session/ClockSession.h"

namespace {

struct Latencies {
    QList<double> boundaryToSimulatorUs;
    QList<double> answerUs;
};

std::optional<Latencies> measureThrough(Bench& bench, SimChild& sim, const QString& location) {
    SystemWallClock clock;
    SystemPortCatalog ports;
    SerialPortComponent port(QtSerialDevice::factory());
    ClockSession session(port, clock, &ports);
    try {
        session.openPort(PortChoice::named(location));
    } catch (const RuntimeError& error) {
        bench.fail(QStringLiteral("cannot open %1: %2").arg(location, error.description()));
        return std::nullopt;
    }
    Latencies latencies;
    for (int press = 0; press < bench.options().presses; ++press) {
        bench.pump(bench.randomMs(0, 999));
        const ClockOutcome set = session.run(ClockRequest::setTime(), *session.holdLine());
        const std::optional<SimLogLine> received = sim.next(
            [&set](const SimLogLine& line) {
                return line.direction == FrameLog::Direction::Received && line.bytes() == set.sent;
            },
            5000);
        if (!set.done() || !received) {
            bench.fail(QStringLiteral("set time through %1 did not reach the simulator").arg(location));
            return std::nullopt;
        }
        latencies.boundaryToSimulatorUs << double(received->atUs - set.second.toMSecsSinceEpoch() * 1000);
    }
    for (int read = 0; read < bench.options().reads; ++read) {
        bench.pump(bench.randomMs(50, 250));
        const ClockOutcome answer =
            session.run(ClockRequest::readSettings(Bench::kClockIndex), *session.holdLine());
        const qint64 decodedUs = BenchClock::epochUs();
        const std::optional<SimLogLine> reply = sim.next(
            [](const SimLogLine& line) {
                return line.direction == FrameLog::Direction::Sent &&
                       Frames::answeredClockIndex(line.bytes(), Frames::Code::ReadSettings,
                                                  Frames::ClockBase::SettingsReply) == Bench::kClockIndex;
            },
            5000);
        if (!answer.done() || !reply) {
            bench.fail(QStringLiteral("settings read through %1 did not succeed").arg(location));
            return std::nullopt;
        }
        latencies.answerUs << double(decodedUs - reply->atUs);
    }
    return latencies;
}

QString medianMs(const QList<double>& us) {
    return QString::number(Figures::usToMs(Stats::median(us)), 'f', 3) + QStringLiteral(" ms");
}

QJsonObject measureNetworkPort(Bench& bench) {
    SimChild* const sim = bench.startSim();
    if (!sim)
        return {};
    const std::optional<Latencies> local = measureThrough(bench, *sim, sim->device());
    if (!local)
        return {};
    Ser2net server;
    const QString notListening = server.start({sim->device()});
    if (!notListening.isEmpty()) {
        bench.fail(notListening);
        return {};
    }
    const std::optional<Latencies> remote = measureThrough(bench, *sim, server.url(0, true));
    if (!remote)
        return {};

    const double boundaryMs = Figures::usToMs(Stats::median(remote->boundaryToSimulatorUs));
    bench.report().addTarget(
        QStringLiteral("Set-time frame through ser2net (RFC 2217), boundary to simulator, median"),
        boundaryMs, 2, QStringLiteral("ms"), 3);
    bench.report().addInfo(QStringLiteral("  the same on the pseudo-terminal"),
                           medianMs(local->boundaryToSimulatorUs));
    bench.report().addInfo(QStringLiteral("Settings read through ser2net (RFC 2217), reply sent to decoded, "
                                          "median / on the pseudo-terminal"),
                           medianMs(remote->answerUs) + QStringLiteral(" / ") + medianMs(local->answerUs));
    const auto figures = [](const QList<double>& us) {
        return QJsonObject{
            {QStringLiteral("median_ms"), Figures::rounded(Figures::usToMs(Stats::median(us)))},
            {QStringLiteral("p99_ms"), Figures::rounded(Figures::usToMs(Stats::percentile(us, 99)))},
            {QStringLiteral("samples_us"), Figures::rounded(us, 0)}};
    };
    return {{QStringLiteral("rfc2217_boundary_to_simulator"), figures(remote->boundaryToSimulatorUs)},
            {QStringLiteral("pty_boundary_to_simulator"), figures(local->boundaryToSimulatorUs)},
            {QStringLiteral("rfc2217_answer"), figures(remote->answerUs)},
            {QStringLiteral("pty_answer"), figures(local->answerUs)}};
}

[[maybe_unused]] const bool kRegistered =
    Measurement::add({80, QStringLiteral("network"), QStringLiteral("network_port"), measureNetworkPort});

} // namespace
