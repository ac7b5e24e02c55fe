#pragma once

#include "AnswerWait.h"
#include "ClockOutcome.h"
#include "ClockRequest.h"
#include "protocol/CommandTable.h"
#include "settings_file/SettingsFileText.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

struct LineSettings;

// A value a caller gives a command, by the kind of input it is. Each
// front-end takes every kind in a form of its own (a word or an option on the
// command line; a JSON member, a path segment or the body of an HTTP request)
// and decodes it with that kind's one decoder, so that the same text gets the
// same verdict everywhere.
struct CommandArgument {
    enum class Input {
        TimeOfDay,    // exactly "HH:MM:SS" (TimeText::parseTimeOfDay)
        Number,       // a whole number from `least` to `most`
        Flag,         // yes or no
        SettingsFile, // a settings file's text (SettingsFileText::decode)
    };

    Input input = Input::TimeOfDay;
    QString name;        // "time", "clock", "valid": a JSON member, or the path's "{clock}"
    QString description; // "the countdown clock"
    int least = 0;       // Number
    int most = 0;
    QString negation;     // Flag: the command line's option that says no ("invalid"); yes without it
    QString negationHelp; // "mark the fix not valid"
    // Named only by the service's path, where it is redundant (the settings
    // file's header names the clock too) and must agree.
    bool pathOnly = false;
    // Offered by the service alone, and may be left out there (a flag left
    // out is no): what only a service's caller can mean.
    bool serviceOnly = false;

    static CommandArgument timeOfDay(const QString& name, const QString& description);
    static CommandArgument number(const QString& name, const QString& description, int least, int most);
    static CommandArgument flag(const QString& name, const QString& description, const QString& negation,
                                const QString& negationHelp);
    static CommandArgument settingsFile(const QString& name, const QString& description);

    // "1 or 2", "a whole number from 0 to 15": the numbers a Number takes.
    QString range() const;
};

// What a caller gave for the arguments of a command, decoded, by name.
struct CommandArguments {
    QHash<QString, QTime> times;
    QHash<QString, int> numbers;
    QHash<QString, bool> flags;                        // a service-only flag left out is not here
    std::optional<SettingsFileText::Decoded> settings; // without a refusal
    // What the front-end brings for a command that sets the computer's clock.
    SystemClockSetter* clockSetter = nullptr;
    StepRule stepRule;
};

// One kind of exchange with the master clock, the one place that knows it:
// its row of the protocol table, how its frame is made, what answer it waits
// for and how that is decoded, what it does with the answer, how the
// front-ends name it and take its arguments, and what its outcome says. The
// clock session runs every request through its command; the window, the
// command line and the service name, decode and report through it.
struct ClockCommand {
    enum class Timing {
        AtOnce,        // the frame is made and written at once
        AfterBoundary, // made before the next second boundary, written right after it
        Listen,        // nothing is written: the answer is the clock's own time frame
    };
    // A piece of what the command made or decoded, as reports give it.
    struct Field {
        QString name;  // "frameText": its JSON member
        QString label; // "text": the command line's line "text <value>"; empty: not a line of its own
        QVariant value;
    };

    ClockRequest::Kind kind;
    // How the front-ends name it. Commands that share a word and a path are
    // one command there; the arguments given choose between them.
    QString name;       // "set_time": reports and the metrics' label
    QString word;       // "set-time" on the command line; empty where it is not offered
    QString httpMethod; // "POST"; empty where the service does not offer it
    QString httpPath;   // "/set-time", "/settings/{clock}"
    QString summary;    // what it does, for the help texts
    QList<CommandArgument> arguments;

    // The exchange.
    // Its row of the protocol table; none for Listen and for the RMC
    // sentence, which is NMEA's.
    const CommandTable::Command* row;
    Timing timing;
    std::optional<CommandTable::Awaited> answer; // what it waits for; a command that waits flushes first
    AnswerWait::LeadingTimeFrames leading;
    // Makes the frame for `second` (AtOnce: now), into the outcome's sent,
    // frameText and checksum; may raise RuntimeError.
    void (*makeFrame)(const ClockRequest& request, const QDateTime& second, ClockOutcome& outcome);
    // Decodes the answer in outcome.received (arrival set for a time frame):
    // its status, or nothing to wait for the next one.
    std::optional<ClockOutcome::Status> (*decodeAnswer)(const ClockRequest& request, const LineSettings& line,
                                                        ClockOutcome& outcome);
    // What follows a decoded answer (the computer's clock set); none: nothing.
    ClockOutcome::Status (*settle)(const ClockRequest& request, ClockOutcome& outcome);

    // What its outcome says.
    QString doneText;          // "Write success!"; empty: nothing to say
    QString noAnswerText;      // "No answer from the master clock to the read"
    QString foreignAnswerText; // "The master clock's answer is no settings reply"
    // Whether the master clock may have taken the frame though its answer did
    // not come or came cut short: worth reading back.
    bool mayTakeUnanswered = false;
    // Whether it sets the master clock's time, which the clock's next time
    // frame confirms (ClockRequest::confirm).
    bool setsClockTime = false;
    // The frame as the front-ends show it: hexadecimal, the write frame in
    // blocks, the sentence.
    QString (*frameShown)(const QByteArray& frame);
    // What it made and decoded, for reports.
    QList<Field> (*fields)(const ClockOutcome& outcome);
    // The request from a caller's arguments; nothing, with `why`, when they
    // do not make one.
    std::optional<ClockRequest> (*request)(const CommandArguments& arguments, QString* why);

    // Whether it writes a frame right after a second boundary.
    bool afterBoundary() const { return timing == Timing::AfterBoundary; }
    // The text of an answer that did not come or does not fit.
    QString missingAnswerText(const ClockOutcome& outcome) const;
};

namespace ClockCommands {

// The command of a kind. A kind without one does not build.
const ClockCommand& of(ClockRequest::Kind kind);
// Every command, in the order of the kinds.
const QList<const ClockCommand*>& all();
// The commands the command line offers under `word`, or the service at
// `method` and `path` ("/settings/{clock}"); empty when none.
QList<const ClockCommand*> byWord(const QString& word);
QList<const ClockCommand*> byRoute(const QString& method, const QString& path);
// Of the commands that share a word or a route, the one that takes every
// argument named and needs no other (an argument named by the path alone is
// never needed); none when no one does.
const ClockCommand* chosen(const QList<const ClockCommand*>& sharing, const QStringList& given);

} // namespace ClockCommands
