// The second-boundary wait's cost: CPU time as a share of the wait's wall
// time, against a spin on the clock that the window does not use.
#include "Bench.h"
#include "BenchClock.h"
#include "CpuShare.h"
#include "Figures.h"
#include "Measurement.h"
#include "Report.h"
#include "Stats.h"
#include "protocol/SecondBoundary.h"
#include "protocol/WallClock.h"

#include <QThread>

namespace {

constexpr qint64 kUsPerSecond = 1'000'000;

// The naive design: read the clock without pause until its second changes.
QDateTime spinToNextSecond(int& secondMarker) {
    QDateTime reading = QDateTime::currentDateTime();
    secondMarker = reading.time().second();
    while (reading.time().second() == secondMarker)
        reading = QDateTime::currentDateTime();
    return reading;
}

// The waits of one design, and how long after the boundary each returned.
struct Waits : CpuShare {
    QList<double> returnedAfterBoundaryUs;

    QJsonObject figures() const {
        QList<double> wallMs;
        for (double us : wallUs)
            wallMs << Figures::usToMs(us);
        QJsonObject result = CpuShare::figures();
        result.insert(QStringLiteral("median_cpu_ms_per_wait"),
                      Figures::rounded(Figures::usToMs(Stats::median(cpuUs))));
        result.insert(QStringLiteral("median_returned_after_boundary_us"),
                      Stats::median(returnedAfterBoundaryUs));
        result.insert(QStringLiteral("wall_ms"), Figures::rounded(wallMs));
        return result;
    }
};

QJsonObject measureBoundaryWaitCost(Bench& bench) {
    SystemWallClock clock;
    Waits window, spin;
    for (int wait = 0; wait < bench.options().waits; ++wait)
        // Alternate the designs, so that both see the same background load;
        // a random phase makes the waits as long as an operator's would be.
        for (Waits* design : {&window, &spin}) {
            QThread::msleep(ulong(bench.randomMs(0, 999)));
            int secondMarker = 0;
            const qint64 cpuBefore = BenchClock::threadCpuUs();
            const qint64 wallBefore = BenchClock::monotonicUs();
            if (design == &window)
                waitForNextSecond(clock, secondMarker);
            else
                spinToNextSecond(secondMarker);
            const qint64 returnedAtUs = BenchClock::epochUs();
            design->wallUs << double(BenchClock::monotonicUs() - wallBefore);
            design->cpuUs << double(BenchClock::threadCpuUs() - cpuBefore);
            design->returnedAfterBoundaryUs << double(returnedAtUs % kUsPerSecond);
        }
    const double share = window.percent();
    const double spinShare = spin.percent();
    Report& report = bench.report();
    report.addTarget(
        QStringLiteral("Second-boundary wait: CPU share of wall (%1 waits)").arg(bench.options().waits),
        share, 10, QStringLiteral("%"), 2);
    report.addInfo(QStringLiteral("  reference spin on QDateTime: CPU share"),
                   QString::number(spinShare, 'f', 1) + QStringLiteral(" % (ratio ") +
                       QString::number(spinShare / share, 'f', 0) + QStringLiteral("x)"));
    report.addInfo(QStringLiteral("  returns after the boundary, median (window / spin)"),
                   Figures::us(Stats::median(window.returnedAfterBoundaryUs),
                               Stats::median(spin.returnedAfterBoundaryUs)));
    return {{QStringLiteral("waits"), bench.options().waits},
            {QStringLiteral("window"), window.figures()},
            {QStringLiteral("reference_spin"), spin.figures()},
            {QStringLiteral("ratio_reference_to_window"), Figures::rounded(spinShare / share, 1)}};
}

[[maybe_unused]] const bool kRegistered = Measurement::add(
    {20, QStringLiteral("boundary-wait"), QStringLiteral("boundary_wait_cost"), measureBoundaryWaitCost});

} // namespace
