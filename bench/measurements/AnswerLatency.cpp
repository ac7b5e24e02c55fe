// Answer latency: from the simulator sending the last byte of its settings
// reply to the window raising "Read success!".
#include "Bench.h"
#include "Figures.h"
#include "Measurement.h"
#include "Report.h"
#include "Stats.h"
#include "protocol/Frames.h"

#include <QAbstractButton>

namespace {

bool isSettingsReply(const SimLogLine& line) {
    return line.direction == FrameLog::Direction::Sent &&
           Frames::answeredClockIndex(line.bytes(), Frames::Code::ReadSettings,
                                      Frames::ClockBase::SettingsReply) == Bench::kClockIndex;
}

QJsonObject measureAnswerLatency(Bench& bench) {
    SimChild* const sim = bench.startSim();
    if (!sim || !bench.openWindow(sim->device()))
        return {};
    auto* read = bench.widget<QAbstractButton>(QStringLiteral("Command6"));
    if (!read)
        return {};
    QList<double> latencyUs;
    for (int run = 0; run < bench.options().reads; ++run) {
        bench.pump(bench.randomMs(50, 250));
        const qsizetype messagesBefore = bench.messages().size();
        read->click();
        const QList<StampedDialogs::Message> raised = bench.messages().mid(messagesBefore);
        const std::optional<SimLogLine> reply = sim->next(isSettingsReply, 5000);
        if (raised.size() != 1 || raised.first().text != QLatin1String("Read success!") || !reply) {
            bench.fail(QStringLiteral("settings read %1 did not succeed (%2)")
                           .arg(run + 1)
                           .arg(raised.isEmpty() ? QStringLiteral("no message") : raised.last().text));
            return {};
        }
        latencyUs << double(raised.first().atUs - reply->atUs);
    }
    const double medianMs = Figures::usToMs(Stats::median(latencyUs));
    bench.report().addTarget(QStringLiteral("Answer latency (reply sent to \"Read success!\"), median"),
                             medianMs, 5, QStringLiteral("ms"), 3);
    return {{QStringLiteral("reads"), bench.options().reads},
            {QStringLiteral("median_ms"), Figures::rounded(medianMs)},
            {QStringLiteral("p99_ms"), Figures::rounded(Figures::usToMs(Stats::percentile(latencyUs, 99)))},
            {QStringLiteral("max_ms"), Figures::rounded(Figures::usToMs(Stats::maximum(latencyUs)))},
            {QStringLiteral("samples_us"), Figures::rounded(latencyUs, 0)}};
}

[[maybe_unused]] const bool kRegistered =
    Measurement::add({50, QStringLiteral("answer"), QStringLiteral("answer_latency"), measureAnswerLatency});

} // namespace
