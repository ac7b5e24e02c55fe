#pragma once

#include <QSet>
#include <QString>

// What a run measures and how often; main fills it from the command line.
struct BenchOptions {
    QString simPath;
    QString jsonPath;
    int presses = 20;    // per timed command
    int reads = 20;      // answered settings reads
    int waits = 12;      // second-boundary waits, each design
    int silentReads = 3; // unanswered settings reads, each design
    int startupRuns = 10;
    int streamSeconds = 30; // sentences of the GPS stream
    int seed = 1;           // of the random click phases
    QSet<QString> only;     // parts to run; empty runs all
};
