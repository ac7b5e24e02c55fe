// The answer wait's cost: CPU time of a settings read that gets no answer (the
// window waits its full limit with events running), against a reader that
// polls its port for as long.
#include "Bench.h"
#include "BenchClock.h"
#include "CpuShare.h"
#include "Figures.h"
#include "Measurement.h"
#include "Report.h"
#include "Stats.h"
#include "common/RuntimeError.h"
#include "protocol/Frames.h"
#include "serial/QtSerialDevice.h"
#include "serial/SerialPortComponent.h"

#include <QAbstractButton>
#include <QCoreApplication>

namespace {

bool isReadRequest(const SimLogLine& line) {
    return line.direction == FrameLog::Direction::Received &&
           line.bytes() == Frames::readRequest(Bench::kClockIndex);
}

QJsonObject measureAnswerWaitCost(Bench& bench) {
    SimChild* const windowSim = bench.startSim({QStringLiteral("--silent")});
    // The reference polls a port of its own: the window holds its device exclusively.
    SimChild* const referenceSim = bench.startSim({QStringLiteral("--silent")});
    if (!windowSim || !referenceSim || !bench.openWindow(windowSim->device()))
        return {};
    auto* read = bench.widget<QAbstractButton>(QStringLiteral("Command6"));
    if (!read)
        return {};
    const QString referenceDevice = referenceSim->device();
    SerialPortComponent reference(
        [referenceDevice](int port) { return std::make_unique<QtSerialDevice>(port, referenceDevice); });
    try {
        reference.setPortOpen(true);
    } catch (const RuntimeError& error) {
        bench.fail(QStringLiteral("cannot open the reference simulator: ") + error.description());
        return {};
    }

    CpuShare window, polling;
    for (int run = 0; run < bench.options().silentReads; ++run) {
        bench.pump(300);
        qint64 cpuBefore = BenchClock::processCpuUs();
        qint64 wallBefore = BenchClock::monotonicUs();
        const qsizetype messagesBefore = bench.messages().size();
        read->click();
        const qint64 wall = BenchClock::monotonicUs() - wallBefore;
        window.cpuUs << double(BenchClock::processCpuUs() - cpuBefore);
        window.wallUs << double(wall);
        if (bench.messages().size() > messagesBefore || !windowSim->next(isReadRequest, 5000)) {
            bench.fail(QStringLiteral("the unanswered settings read did not run as expected (%1)")
                           .arg(bench.lastMessage()));
            return {};
        }

        // The naive design, for as long as the window's wait lasted.
        bench.pump(300);
        cpuBefore = BenchClock::processCpuUs();
        wallBefore = BenchClock::monotonicUs();
        reference.Input();
        reference.Output(Frames::readRequest(Bench::kClockIndex));
        while (BenchClock::monotonicUs() - wallBefore < wall &&
               reference.InBufferCount() < Frames::Length::Settings)
            QCoreApplication::processEvents();
        polling.cpuUs << double(BenchClock::processCpuUs() - cpuBefore);
        polling.wallUs << double(BenchClock::monotonicUs() - wallBefore);
    }
    const double share = window.percent();
    const double pollingShare = polling.percent();
    Report& report = bench.report();
    report.addTarget(QStringLiteral("Answer wait without answer: CPU of one core (%1 reads)")
                         .arg(bench.options().silentReads),
                     share, 1, QStringLiteral("%"), 3);
    report.addInfo(QStringLiteral("  wait length median / reference polling CPU"),
                   Figures::ms(Figures::usToMs(Stats::median(window.wallUs)), 0) + QStringLiteral(" / ") +
                       QString::number(pollingShare, 'f', 1) + QStringLiteral(" % (ratio ") +
                       QString::number(pollingShare / share, 'f', 0) + QStringLiteral("x)"));
    return {{QStringLiteral("reads"), bench.options().silentReads},
            {QStringLiteral("median_wait_ms"),
             Figures::rounded(Figures::usToMs(Stats::median(window.wallUs)), 1)},
            {QStringLiteral("window"), window.figures()},
            {QStringLiteral("reference_polling"), polling.figures()},
            {QStringLiteral("ratio_reference_to_window"), Figures::rounded(pollingShare / share, 1)}};
}

[[maybe_unused]] const bool kRegistered = Measurement::add(
    {60, QStringLiteral("answer-wait"), QStringLiteral("answer_wait_cost"), measureAnswerWaitCost});

} // namespace
