#pragma once

#include "TimeFrameMonitor.h"
#include "common/RuntimeError.h"
#include "schedule/GroupRow.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

// How an exchange with the master clock ended, and what it brought.
struct ClockOutcome {
    Q_GADGET
public:
    enum class Status {
        Done,          // the frame went out and, where one is due, its answer came and was decoded
        NoAnswer,      // no answer, or less than a whole time frame, within the limit
        ForeignAnswer, // an answer with codes that do not belong to the command
        ShortAnswer,   // an answer with the right codes, cut short
        InvalidAnswer, // a time frame whose time of day is no time
        Failed,        // a run-time failure: the port, the line, a value that does not convert
        ClockNotSet,   // the time frame came, but the computer's clock could not be set
        StepRefused,   // the time frame came, but the computer's clock would have moved further than allowed
        Cancelled,     // ended by the front-end (the window closing)
    };
    Q_ENUM(Status)

    Status status = Status::Done;
    // Why: for Failed, ShortAnswer, InvalidAnswer and ClockNotSet.
    std::optional<RuntimeError> error;

    QByteArray sent;           // the frame written; after a failed write, the one that was not
    bool frameWentOut = false; // the frame was written whole: the master clock may have taken it
    QString frameText; // set time: "yyyy-mm-dd,w,hh:nn:ss"; countdown: the remaining time; RMC: the sentence
                       // with "??"
    QString checksum;  // RMC: its two checksum digits
    QDateTime second;  // frames sent after a boundary: the second they were made for

    QByteArray received; // the bytes the answer wait took
    int clockIndex = -1; // settings answers: the countdown clock they name (0 or 1)
    GroupRows rows;      // settings answers: the eight groups
    QDate clockDate;     // time frame: the date it names
    QTime clockTime;     // time frame: the time of day it names
    QDateTime arrival;   // time frame: when its last byte arrived, by the computer's clock
    qint64 offsetUs = 0; // time frame: the master clock minus the computer's clock, by the offset model
    // A set time asked to confirm: the master clock's next time frame after
    // it; none when none came in time or the clock sends none.
    std::optional<TimeFrameMonitor::Sighting> nextTimeFrame;
    // What came out right but deserves a word ("the master clock's date is
    // 1 day off ..."), for the front-ends to say beside the success.
    QStringList warnings;

    bool done() const { return status == Status::Done; }
    // "done", "no_answer", ...: how reports and metrics name a status.
    static QString statusName(Status status);
};
