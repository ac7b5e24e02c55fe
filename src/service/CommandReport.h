#pragma once

#include "LineTraffic.h"
#include "session/ClockOutcome.h"
#include "session/ClockRequest.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

// The answer to one command: its HTTP status and JSON body, with the frames
// the command sent and received and the outcome in the window's words.
struct CommandReport {
    int httpStatus = 200;
    QJsonObject body;

    // The HTTP status of each way an exchange ends: the master clock silent,
    // foreign or cut short, the port gone.
    static int httpStatusOf(ClockOutcome::Status status);
    // What the service says of an outcome: the window's message, or the
    // command line's text where the window stays silent; empty for a frame
    // that was simply written.
    static QString messageOf(const ClockRequest& request, const ClockOutcome& outcome);

    // `warnings`: what the request's decoder found in it (a settings file's
    // loose lines).
    static CommandReport of(const ClockRequest& request, const ClockOutcome& outcome,
                            const LineTraffic& traffic, const QStringList& warnings = {});
    // A request refused before it reached the line: {"error": why}.
    static CommandReport refusal(int httpStatus, const QString& why);
};
