#pragma once

#include <QString>
#include <QStringList>
#include <QTime>
#include <optional>

// One run of varo-clock-cli as its command line asks for it.
struct CliArguments {
    enum class Command { SetTime, Countdown, Read, Write, SyncComputer, Gps, Ports, Help, Version };

    Command command = Command::Help;
    QString commandName;
    QString port;                   // --port as given; empty for the window's choice
    int baudRate = 9600;            // --baud
    bool json = false;              // --json
    int clockNumber = 0;            // --clock: 1 or 2
    std::optional<QTime> typedTime; // set-time HH:MM:SS
    QTime countdownStart;           // countdown HH:MM:SS
    QString file;                   // write FILE, read --out FILE
    char gpsStatus = 'A';           // gps: 'V' with --invalid
    int gpsSeconds = 1;             // gps --seconds
    std::optional<int> maxStep;     // sync-computer --max-step, in seconds; none: the session's rule

    // The arguments after the program name; nothing, with `error` set, when
    // they do not make a run.
    static std::optional<CliArguments> parse(const QStringList& arguments, QString* error);

    static QString helpText();
};
