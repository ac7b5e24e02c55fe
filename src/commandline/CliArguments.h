#pragma once

#include "serial/LineSpeeds.h"
#include "session/ClockCommand.h"

#include <QString>
#include <QStringList>
#include <optional>

// One run of varo-clock-cli as its command line asks for it.
struct CliArguments {
    // A clock command (`clockCommand` says which), or one of the command
    // line's own.
    enum class Command { Clock, Ports, Status, Help, Version };

    Command command = Command::Help;
    QString commandName;
    // Why the arguments make no run; empty when they do.
    QString usageError;

    QString port;                        // --port as given; empty for the one port there is
    int baudRate = LineSpeeds::kDefault; // --baud
    bool json = false;                   // --json

    const ClockCommand* clockCommand = nullptr; // Command::Clock
    CommandArguments given;                     // its arguments, decoded; a settings file is read later
    QString file;                               // write FILE, read --out FILE
    int repeats = 1;                            // gps --seconds: one sentence after each boundary
    int statusSeconds = 3;                      // status --seconds
    bool requireSync = false;                   // set-time, status: --require-sync
    std::optional<int> maxStep; // sync-computer --max-step, in seconds; none: the session's rule

    // The arguments after the program name, checked against the table of
    // commands (CliCommands.h).
    static CliArguments parse(const QStringList& arguments);
};
