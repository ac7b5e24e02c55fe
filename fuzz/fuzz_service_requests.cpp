// The clock service's request decoder as a client's request reaches it: the
// first byte picks the route (set time, countdown, GPS, settings read,
// settings write), the rest is its body; for the settings routes the next
// byte is the clock in the path. Exactly one of a request and a reason comes
// out; an accepted request is one of the route's commands, whole and in
// range, and its values sent again decode to the same request.
#include "FuzzCheck.h"
#include "schedule/GroupRecord.h"
#include "schedule/TimeText.h"
#include "service/CommandDecoder.h"
#include "settings_file/SettingsFile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstddef>
#include <cstdint>

namespace {

struct Route {
    const char* method;
    const char* path;
};
constexpr Route kRoutes[] = {{"POST", "/set-time"},
                             {"POST", "/countdown"},
                             {"POST", "/gps"},
                             {"GET", "/settings/{clock}"},
                             {"PUT", "/settings/{clock}"}};

CommandDecoder::Decoded decode(const Route& route, const QHash<QString, QString>& path,
                               const QByteArray& body) {
    const CommandDecoder::Decoded decoded = CommandDecoder::decode(
        ClockCommands::byRoute(QString::fromLatin1(route.method), QString::fromLatin1(route.path)), path,
        body);
    FUZZ_CHECK(decoded.request.has_value() == decoded.error.isEmpty());
    return decoded;
}

// The body and path that ask for `request` again, by its command's arguments.
QByteArray bodyOf(const ClockRequest& request, QHash<QString, QString>& path) {
    QJsonObject object;
    for (const CommandArgument& argument : ClockCommands::of(request.kind).arguments) {
        switch (argument.input) {
        case CommandArgument::Input::TimeOfDay:
            object.insert(argument.name, TimeText::format(*request.time));
            break;
        case CommandArgument::Input::Number:
            if (!path.contains(argument.name))
                object.insert(argument.name, request.clockIndex + 1);
            break;
        case CommandArgument::Input::Flag:
            object.insert(argument.name, argument.serviceOnly ? request.force : request.rmcStatus == 'A');
            break;
        case CommandArgument::Input::SettingsFile: {
            const QByteArray records = request.records();
            GroupRows rows;
            for (int row = 0; row < kGroupCount; ++row)
                rows[row] = GroupRecord::decode(records.mid(row * GroupRecord::kSize, GroupRecord::kSize));
            return SettingsFile::write(request.clockIndex + 1, rows);
        }
        }
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void check(const Route& route, const QHash<QString, QString>& path, const QByteArray& body) {
    const std::optional<ClockRequest> request = decode(route, path, body).request;
    if (!request)
        return;
    const ClockCommand& command = ClockCommands::of(request->kind);
    FUZZ_CHECK(command.httpMethod == QLatin1String(route.method) &&
               command.httpPath == QLatin1String(route.path));
    if (request->time)
        FUZZ_CHECK(request->time->isValid() && request->time->msec() == 0);
    FUZZ_CHECK(request->clockIndex == 0 || request->clockIndex == 1);
    FUZZ_CHECK(request->rmcStatus == 'A' || request->rmcStatus == 'V');
    if (path.contains(QStringLiteral("clock")))
        FUZZ_CHECK(path.value(QStringLiteral("clock")) == QString::number(request->clockIndex + 1));
    if (request->records)
        FUZZ_CHECK(request->records().size() == kGroupCount * GroupRecord::kSize);

    QHash<QString, QString> pathAgain = path;
    const std::optional<ClockRequest> again = decode(route, pathAgain, bodyOf(*request, pathAgain)).request;
    FUZZ_CHECK(again && again->kind == request->kind && again->time == request->time &&
               again->clockIndex == request->clockIndex && again->rmcStatus == request->rmcStatus &&
               again->force == request->force);
    if (request->records)
        FUZZ_CHECK(again->records() == request->records());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const Route& route = kRoutes[data[0] % 5];
    QByteArray body(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);
    QHash<QString, QString> path;
    if (QByteArray(route.path).contains("{clock}")) {
        path.insert(QStringLiteral("clock"), QString::fromLatin1(body.left(1)));
        body = body.mid(1);
    }
    check(route, path, body);
    return 0;
}
