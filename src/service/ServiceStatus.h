#pragma once

#include "protocol/ComputerClockReader.h"

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QTime>
#include <optional>
#include <utility>

// What the service knows at one moment: its port, the master clock by its
// last time frame, the computer's clock, the line and the commands run so far.
struct ServiceStatus {
    struct TimeFrame {
        QDate clockDate; // the date it named
        QTime clockTime; // the time of day it named
        qint64 offsetUs; // the master clock ahead of the computer's clock
        qint64 ageMs;    // since its last byte arrived
    };
    // (command, outcome) as CommandReport names them.
    using CommandCounts = QMap<std::pair<QString, QString>, quint64>;

    QString portName; // "Com16", or the device named
    QString device;
    bool portOpen = false;
    int baudRate = 9600;
    bool lineHeld = false;
    std::optional<TimeFrame> lastTimeFrame; // none before the first
    quint64 timeFrames = 0;
    CommandCounts commands;
    quint64 corrections = 0;                   // the master clock set by the service itself
    quint64 correctionFailures = 0;            // ... and not taken by it
    QMap<QString, quint64> correctionRefusals; // corrections held back, by reason
    ComputerClockState computerClock;

    // The object GET /status answers and /live pushes.
    QJsonObject toJson() const;
    // The Prometheus text exposition (format 0.0.4) of GET /metrics.
    QByteArray toMetrics() const;
};
