#pragma once

#include "session/ClockCommand.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

// The service's commands as a client sends them, turned into the clock
// session's requests by their commands' arguments: a JSON body (or a settings
// file as the body) and the values in the path. What is not whole and valid
// is refused with the reason, before anything reaches the line. Needs only
// the core library and the commands (the fuzzer builds it so).
namespace CommandDecoder {

struct Decoded {
    std::optional<ClockRequest> request;
    QString error;        // why it is refused, when there is no request
    QStringList warnings; // a settings file's lines that load all the same: "line 3: ..."
};

// A request to the commands that share a method and a path (`sharing`, as
// ClockCommands::byRoute gives them): `pathValues` what the path's "{clock}"
// holds, `body` the request's body. POST /set-time with no body or {} is the
// computer's time after the next second boundary.
Decoded decode(const QList<const ClockCommand*>& sharing, const QHash<QString, QString>& pathValues,
               const QByteArray& body);

} // namespace CommandDecoder
