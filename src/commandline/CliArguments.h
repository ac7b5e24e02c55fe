#pragma once

#include "serial/LineSpeeds.h"

#include <QString>
#include <QStringList>
#include <QTime>
#include <optional>

// One run of varo-clock-cli as its command line asks for it.
struct CliArguments {
    enum class Command { SetTime, Countdown, Read, Write, SyncComputer, Gps, Ports, Status, Help, Version };

    Command command = Command::Help;
    QString commandName;
    // Why the arguments make no run; empty when they do.
    QString usageError;

    QString port;                        // --port as given; empty for the one port there is
    int baudRate = LineSpeeds::kDefault; // --baud
    bool json = false;                   // --json
    int clockNumber = 0;                 // --clock: 1 or 2
    std::optional<QTime> typedTime;      // set-time HH:MM:SS
    QTime countdownStart;                // countdown HH:MM:SS
    QString file;                        // write FILE, read --out FILE
    char gpsStatus = 'A';                // gps: 'V' with --invalid
    int gpsSeconds = 1;                  // gps --seconds
    int statusSeconds = 3;               // status --seconds
    bool requireSync = false;            // set-time, status: --require-sync
    std::optional<int> maxStep;          // sync-computer --max-step, in seconds; none: the session's rule

    // The arguments after the program name, checked against the table of
    // commands (CliCommands.h).
    static CliArguments parse(const QStringList& arguments);
};
