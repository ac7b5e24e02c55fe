#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What the command line asks of the simulator.
struct SimOptions {
    QString device; // empty: make a pseudo-terminal
    qint32 baud = 9600;
    int timeFrameSeconds = 0; // 0: the clock sends no time frames
    int offsetMs = 0;         // the clock runs this far ahead of the computer's local time
    QString logFile;
    int hangupGraceMs = 1000;
    bool persist = false; // keep running when the peer closes the device

    // Faults of the answers to a read or a write.
    bool silent = false;
    int cut = 0; // 0: whole answers
    bool foreign = false;
    bool ignoreSetTime = false; // log set-time frames but keep the clock's own time
    int split = 0;              // 0: one piece
    int splitDelayMs = 50;
    int stray = 0;
    bool timeFrameFirst = false; // the clock's time frame just before each answer
    int delayMs = 0;

    // Parses the arguments (program name first). Prints help or version and
    // exits when asked to; returns nothing, with `error` set, on bad input.
    static std::optional<SimOptions> parse(const QStringList& arguments, QString* error);
};
