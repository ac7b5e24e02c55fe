// Start-up: the program started afresh (a probe process of its own) until its
// window is shown with all 16 ports probed, and its peak resident memory.
#include "Bench.h"
#include "Figures.h"
#include "Measurement.h"
#include "Report.h"
#include "StartupProbe.h"
#include "Stats.h"

#include <QJsonDocument>

namespace {

QJsonObject measureStartup(Bench& bench) {
    SimChild* const sim = bench.startSim();
    if (!sim)
        return {};
    QList<double> elapsedMs, applicationMs, builtMs, peakKiB;
    QJsonArray runs;
    for (int run = 0; run < bench.options().startupRuns; ++run) {
        const QJsonObject probe = StartupProbe::spawn(sim->device());
        runs.append(probe);
        if (probe.contains(QStringLiteral("error")) || !probe.value(QStringLiteral("exposed")).toBool() ||
            probe.value(QStringLiteral("selected_port")).toString() != QLatin1String("Com16")) {
            bench.fail(QStringLiteral("start-up probe %1 failed: %2")
                           .arg(run + 1)
                           .arg(QString::fromUtf8(QJsonDocument(probe).toJson(QJsonDocument::Compact))));
            return {};
        }
        elapsedMs << probe.value(QStringLiteral("elapsed_ms")).toDouble();
        applicationMs << probe.value(QStringLiteral("application_ms")).toDouble();
        builtMs << probe.value(QStringLiteral("window_built_ms")).toDouble();
        peakKiB << probe.value(QStringLiteral("vmhwm_kib")).toDouble();
    }
    const double medianMs = Stats::median(elapsedMs);
    const double peakMiB = Stats::maximum(peakKiB) / 1024.0;
    Report& report = bench.report();
    report.addTarget(QStringLiteral("Start-up to window shown, median of %1").arg(elapsedMs.size()), medianMs,
                     300, QStringLiteral("ms"), 1);
    report.addInfo(QStringLiteral("  of which: QApplication ready / window built"),
                   Figures::ms(Stats::median(applicationMs), 1) + QStringLiteral(" / ") +
                       Figures::ms(Stats::median(builtMs), 1));
    report.addTarget(QStringLiteral("Start-up peak resident memory (VmHWM), max"), peakMiB, 60,
                     QStringLiteral("MiB"), 1);
    const QJsonObject first = runs.first().toObject();
    return {
        {QStringLiteral("runs"), elapsedMs.size()},
        {QStringLiteral("median_ms"), Figures::rounded(medianMs, 1)},
        {QStringLiteral("max_ms"), Figures::rounded(Stats::maximum(elapsedMs), 1)},
        {QStringLiteral("median_application_ready_ms"), Figures::rounded(Stats::median(applicationMs), 1)},
        {QStringLiteral("median_window_built_ms"), Figures::rounded(Stats::median(builtMs), 1)},
        {QStringLiteral("vmhwm_median_mib"), Figures::rounded(Stats::median(peakKiB) / 1024.0, 1)},
        {QStringLiteral("vmhwm_max_mib"), Figures::rounded(peakMiB, 1)},
        {QStringLiteral("start_clock"), first.value(QStringLiteral("start_clock"))},
        {QStringLiteral("platform"), first.value(QStringLiteral("platform"))},
        {QStringLiteral("ports_listed"), first.value(QStringLiteral("ports"))},
        {QStringLiteral("elapsed_ms"), Figures::rounded(elapsedMs, 1)}};
}

[[maybe_unused]] const bool kRegistered =
    Measurement::add({10, QStringLiteral("startup"), QStringLiteral("startup"), measureStartup});

} // namespace
