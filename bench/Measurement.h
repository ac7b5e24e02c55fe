#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>

class Bench;

// One measurement of the benchmark. Each lives in a file of its own under
// measurements/ that registers it with one static initializer, so adding a
// measurement is a new file there plus its line in CMakeLists.txt.
struct Measurement {
    int order;       // its place in the run and in the table
    QString part;    // the name --only chooses it by
    QString jsonKey; // where its figures go in the JSON report
    // Measures with the bench's simulators and window, adds its rows to the
    // bench's report and returns its figures; an empty object after
    // Bench::fail(). The bench closes the window and stops the simulators
    // afterwards.
    std::function<QJsonObject(Bench&)> measure;

    // Registers a measurement; true, for the initializer of a static.
    static bool add(Measurement measurement);
    // Every registered measurement, by order.
    static QList<Measurement> all();
    static QStringList parts();
};
