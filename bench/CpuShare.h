#pragma once

#include <QJsonObject>
#include <QList>

// CPU time against wall time of repeated waits of one design, in microseconds.
struct CpuShare {
    QList<double> cpuUs;
    QList<double> wallUs;

    // The CPU time of all waits as a share of their wall time, in percent.
    double percent() const;
    // cpu_share_percent, cpu_ms_total and wall_ms_total.
    QJsonObject figures() const;
};
