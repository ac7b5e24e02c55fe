#include "CpuShare.h"

#include "Figures.h"
#include "Stats.h"

double CpuShare::percent() const {
    return 100.0 * Stats::sum(cpuUs) / Stats::sum(wallUs);
}

QJsonObject CpuShare::figures() const {
    return {{QStringLiteral("cpu_share_percent"), Figures::rounded(percent(), 3)},
            {QStringLiteral("cpu_ms_total"), Figures::rounded(Figures::usToMs(Stats::sum(cpuUs)))},
            {QStringLiteral("wall_ms_total"), Figures::rounded(Figures::usToMs(Stats::sum(wallUs)))}};
}
