// A master clock behind a serial device server: the settings read's answer
// latency through ser2net's RFC 2217 port on 127.0.0.1, beside the same
// figure on the simulator's own pseudo-terminal. The clock session does the
// exchanges, as the command line and the service do. (The set-time through
// ser2net is a door of its own: measurements/Doors.cpp.)
#include "Bench.h"
#include "BenchClock.h"
#include "Figures.h"
#include "Measurement.h"
#include "Report.h"
#include "Ser2net.h"
#include "SessionOnPort.h"
#include "Stats.h"
#include "protocol/Frames.h"

namespace {

// Microseconds from the simulator's reply to the decoded answer, per read.
std::optional<QList<double>> measureThrough(Bench& bench, SimChild& sim, const QString& location) {
    SessionOnPort onPort;
    if (const QString failure = onPort.open(location); !failure.isEmpty()) {
        bench.fail(failure);
        return std::nullopt;
    }
    ClockSession& session = onPort.session();
    QList<double> answerUs;
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
        answerUs << double(decodedUs - reply->atUs);
    }
    return answerUs;
}

QString medianMs(const QList<double>& us) {
    return QString::number(Figures::usToMs(Stats::median(us)), 'f', 3) + QStringLiteral(" ms");
}

QJsonObject measureNetworkPort(Bench& bench) {
    SimChild* const sim = bench.startSim();
    if (!sim)
        return {};
    const std::optional<QList<double>> local = measureThrough(bench, *sim, sim->device());
    if (!local)
        return {};
    Ser2net server;
    const QString notListening = server.start({sim->device()});
    if (!notListening.isEmpty()) {
        bench.fail(notListening);
        return {};
    }
    const std::optional<QList<double>> remote = measureThrough(bench, *sim, server.url(0, true));
    if (!remote)
        return {};

    bench.report().addInfo(QStringLiteral("Settings read through ser2net (RFC 2217), reply sent to decoded, "
                                          "median / on the pseudo-terminal"),
                           medianMs(*remote) + QStringLiteral(" / ") + medianMs(*local));
    const auto figures = [](const QList<double>& us) {
        return QJsonObject{
            {QStringLiteral("median_ms"), Figures::rounded(Figures::usToMs(Stats::median(us)))},
            {QStringLiteral("p99_ms"), Figures::rounded(Figures::usToMs(Stats::percentile(us, 99)))},
            {QStringLiteral("samples_us"), Figures::rounded(us, 0)}};
    };
    return {{QStringLiteral("rfc2217_answer"), figures(*remote)},
            {QStringLiteral("pty_answer"), figures(*local)}};
}

[[maybe_unused]] const bool kRegistered =
    Measurement::add({80, QStringLiteral("network"), QStringLiteral("network_port"), measureNetworkPort});

} // namespace
