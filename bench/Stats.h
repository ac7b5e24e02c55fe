#pragma once

#include <QList>

namespace Stats {

double median(QList<double> values);
// Nearest-rank percentile, p in (0, 100]: with fewer than 100 samples p99 is
// the largest one.
double percentile(QList<double> values, double p);
double maximum(const QList<double>& values);
double sum(const QList<double>& values);

} // namespace Stats
