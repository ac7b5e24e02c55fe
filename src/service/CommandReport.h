#pragma once

#include "LineTraffic.h"
#include "session/ClockOutcome.h"
#include "session/ClockRequest.h"

#include <QJsonObject>
#include <QString>

// The answer to one command: its HTTP status and JSON body, with the frames
// the command sent and received and the outcome in the window's words.
struct CommandReport {
    int httpStatus = 200;
    QJsonObject body;

    // "set_time", "countdown", "gps", "read_settings", "write_settings".
    static QString commandName(ClockRequest::Kind kind);
    // "done", "no_answer", "foreign_answer", ..., as /metrics counts them.
    static QString outcomeName(ClockOutcome::Status status);

    static CommandReport of(const ClockRequest& request, const ClockOutcome& outcome,
                            const LineTraffic& traffic);
    // A request refused before it reached the line: {"error": why}.
    static CommandReport refusal(int httpStatus, const QString& why);
};
