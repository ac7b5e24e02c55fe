#pragma once

#include <QJsonObject>
#include <QString>

// What the figures were measured on, and how busy the machine was.
namespace Machine {

struct Description {
    QString cpuModel;
    int cores = 0;
    QString kernel;
    QString qtVersion;
};

Description describe();
QJsonObject toJson(const Description& machine);

// The load averages over 1, 5 and 15 minutes, as /proc/loadavg gives them.
QString loadAverages();
// Share of all cores busy over `sampleMs`, from /proc/stat, in percent; -1
// when unknown. Other people's builds show up here.
double busyPercent(int sampleMs);

} // namespace Machine
