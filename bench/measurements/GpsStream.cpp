// The GPS stream ("每秒发送" ticked, Command9 pressed): the boundary latency of
// each sentence while the stream runs on the window's event loop.
#include "Bench.h"
#include "Figures.h"
#include "Measurement.h"
#include "Report.h"
#include "Stats.h"
#include "TimedCommands.h"

#include <QAbstractButton>
#include <QDeadlineTimer>

namespace {

QJsonObject measureGpsStream(Bench& bench) {
    SimChild* const sim = bench.startSim();
    if (!sim || !bench.openWindow(sim->device()))
        return {};
    const TimedCommand& sentence = TimedCommands::gpsSentence();
    auto* everySecond = bench.widget<QAbstractButton>(QStringLiteral("CheckEverySecond"));
    auto* gps = bench.widget<QAbstractButton>(sentence.button);
    if (!everySecond || !gps)
        return {};
    const int wanted = bench.options().streamSeconds;
    everySecond->setChecked(true);
    bench.pump(bench.randomMs(0, 999));
    const qsizetype messagesBefore = bench.messages().size();
    gps->click();
    // Let the stream run and collect the sentences as the simulator logs them.
    QList<double> latencyUs;
    const QDeadlineTimer deadline((wanted + 3) * 1000);
    while (latencyUs.size() < wanted && !deadline.hasExpired()) {
        bench.pump(20);
        while (const std::optional<TimedFrame> frame = TimedCommands::nextFrame(*sim, sentence, 0))
            latencyUs << double(frame->receivedUs - frame->boundaryUs);
    }
    gps->click(); // pressed again: the stream ends
    everySecond->setChecked(false);
    if (latencyUs.size() < wanted || bench.messages().size() > messagesBefore) {
        bench.fail(QStringLiteral("the GPS stream sent %1 of %2 sentences (%3)")
                       .arg(latencyUs.size())
                       .arg(wanted)
                       .arg(bench.messages().size() > messagesBefore ? bench.lastMessage()
                                                                     : QStringLiteral("no message")));
        return {};
    }
    const double medianMs = Figures::usToMs(Stats::median(latencyUs));
    const double p99Ms = Figures::usToMs(Stats::percentile(latencyUs, 99));
    Report& report = bench.report();
    report.addTarget(
        QStringLiteral("GPS stream (%1 s): boundary latency per sentence, median").arg(latencyUs.size()),
        medianMs, 0.3, QStringLiteral("ms"), 3);
    report.addTarget(QStringLiteral("GPS stream: boundary latency per sentence, p99"), p99Ms, 1,
                     QStringLiteral("ms"), 3);
    return {{QStringLiteral("sentences"), latencyUs.size()},
            {QStringLiteral("median_ms"), Figures::rounded(medianMs)},
            {QStringLiteral("p99_ms"), Figures::rounded(p99Ms)},
            {QStringLiteral("max_ms"), Figures::rounded(Figures::usToMs(Stats::maximum(latencyUs)))},
            {QStringLiteral("samples_us"), Figures::rounded(latencyUs, 0)}};
}

[[maybe_unused]] const bool kRegistered =
    Measurement::add({70, QStringLiteral("stream"), QStringLiteral("stream_latency"), measureGpsStream});

} // namespace
