#include "Stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Stats {

double median(QList<double> values) {
    if (values.isEmpty())
        return NAN;
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2;
}

double percentile(QList<double> values, double p) {
    if (values.isEmpty())
        return NAN;
    std::sort(values.begin(), values.end());
    const qsizetype rank = qsizetype(std::ceil(p / 100.0 * double(values.size())));
    return values.at(std::clamp<qsizetype>(rank, 1, values.size()) - 1);
}

double maximum(const QList<double>& values) {
    return values.isEmpty() ? NAN : *std::max_element(values.begin(), values.end());
}

double sum(const QList<double>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0);
}

} // namespace Stats
