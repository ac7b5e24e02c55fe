#include "Measurement.h"

#include <algorithm>

namespace {
// Filled by static initializers of the measurements' files, in whatever
// order the linker runs them.
QList<Measurement>& registered() {
    static QList<Measurement> measurements;
    return measurements;
}
} // namespace

bool Measurement::add(Measurement measurement) {
    Q_ASSERT(!parts().contains(measurement.part));
    registered().append(std::move(measurement));
    return true;
}

QList<Measurement> Measurement::all() {
    QList<Measurement> measurements = registered();
    std::sort(measurements.begin(), measurements.end(),
              [](const Measurement& a, const Measurement& b) { return a.order < b.order; });
    return measurements;
}

QStringList Measurement::parts() {
    QStringList names;
    for (const Measurement& measurement : all())
        names << measurement.part;
    return names;
}
