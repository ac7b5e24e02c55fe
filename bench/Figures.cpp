#include "Figures.h"

#include "Stats.h"

#include <cmath>

namespace Figures {

double usToMs(double us) {
    return us / 1000.0;
}

double rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

QJsonArray rounded(const QList<double>& values, int decimals) {
    QJsonArray array;
    for (double value : values)
        array.append(rounded(value, decimals));
    return array;
}

QJsonObject latencyUs(const QList<double>& us) {
    return {{QStringLiteral("median_us"), rounded(Stats::median(us), 0)},
            {QStringLiteral("p99_us"), rounded(Stats::percentile(us, 99), 0)},
            {QStringLiteral("max_us"), rounded(Stats::maximum(us), 0)}};
}

QString ms(double ms, int decimals) {
    return QString::number(ms, 'f', decimals) + QStringLiteral(" ms");
}

QString us(double us) {
    return QString::number(us, 'f', 0) + QStringLiteral(" us");
}

QString us(double first, double second) {
    return QString::number(first, 'f', 0) + QStringLiteral(" / ") + us(second);
}

} // namespace Figures
