#pragma once

#include "session/ClockRequest.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The service's commands as a client sends them, a JSON body or a settings
// file and the clock in the path, turned into the clock session's requests.
// What is not whole and valid is refused with the reason, before anything
// reaches the line. Needs only the core library (the fuzzer builds it so).
namespace CommandDecoder {

struct Decoded {
    std::optional<ClockRequest> request;
    QString error; // why it is refused, when there is no request
};

// POST /set-time: no body or {} for the computer's time after the next second
// boundary; {"time":"HH:MM:SS"} for a typed time of day, sent at once.
Decoded setTime(const QByteArray& body);
// POST /countdown: {"clock":1|2,"time":"HH:MM:SS"}, the time the countdown runs to.
Decoded countdown(const QByteArray& body);
// POST /gps: {"valid":true|false}, one RMC sentence after the next boundary.
Decoded gps(const QByteArray& body);
// GET /settings/{clock}: "1" or "2".
Decoded readSettings(const QString& clock);
// PUT /settings/{clock}: a settings file whose header names that clock and
// whose times all convert.
Decoded writeSettings(const QString& clock, const QByteArray& file);

} // namespace CommandDecoder
