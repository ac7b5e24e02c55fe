#pragma once

#include <QList>
#include <QString>

class RuntimeError;
struct ClockOutcome;

// The exit statuses of varo-clock-cli, one for each way a command can fail.
enum class CliStatus {
    Ok = 0,
    Failed = 1,          // any other failure on the line (a write refused, the device lost)
    Usage = 2,           // the command line is wrong
    PortUnavailable = 3, // no port, or the port cannot be opened
    NoAnswer = 4,        // no answer in time, or one with foreign codes
    ShortAnswer = 5,     // an answer with the right codes, cut short
    FileNotLoaded = 6,   // the settings file cannot be read, loaded or saved
    ClockNotSet = 7,     // the computer's clock cannot be set
    NotSynchronized = 8, // --require-sync: the computer's clock is not synchronized
    StepRefused = 9,     // the computer's clock would move further than allowed
};

// What each exit status means, in order, for the help text and the manual
// page, with an example of the message on standard error for the page.
struct CliStatusMeaning {
    CliStatus status;
    QString meaning;
    QString example;
};
const QList<CliStatusMeaning>& cliStatusMeanings();

// The exit status of a run-time failure. On the command line a value that
// does not convert can only come from a settings file (typed times are
// checked with the arguments).
CliStatus exitStatusOf(const RuntimeError& error);

// The exit status of an exchange's outcome.
CliStatus exitStatusOf(const ClockOutcome& outcome);
