// The clock service's request decoders as a client's request reaches them:
// the first byte picks the command (set time, countdown, GPS, settings read,
// settings write), the rest is its body; for the settings commands the next
// byte is the clock in the path. Exactly one of a request and a reason comes
// out; an accepted request is whole, in range, and its values written back as
// a body decode to the same request.
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
QByteArray json(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A request or a reason, never both or neither.
const std::optional<ClockRequest>& whole(const CommandDecoder::Decoded& decoded) {
    FUZZ_CHECK(decoded.request.has_value() == decoded.error.isEmpty());
    return decoded.request;
}

void checkTime(const QTime& time) {
    FUZZ_CHECK(time.isValid() && time.msec() == 0);
}

void setTime(const QByteArray& body) {
    const std::optional<ClockRequest> request = whole(CommandDecoder::setTime(body));
    if (!request)
        return;
    FUZZ_CHECK(request->kind == ClockRequest::Kind::SetTime);
    QJsonObject again;
    if (request->time) {
        checkTime(*request->time);
        again.insert(QStringLiteral("time"), TimeText::format(*request->time));
    }
    FUZZ_CHECK(whole(CommandDecoder::setTime(json(again)))->time == request->time);
}

void countdown(const QByteArray& body) {
    const std::optional<ClockRequest> request = whole(CommandDecoder::countdown(body));
    if (!request)
        return;
    FUZZ_CHECK(request->kind == ClockRequest::Kind::Countdown);
    FUZZ_CHECK(request->clockIndex == 0 || request->clockIndex == 1);
    checkTime(*request->time);
    const std::optional<ClockRequest> again =
        whole(CommandDecoder::countdown(json({{QStringLiteral("clock"), request->clockIndex + 1},
                                              {QStringLiteral("time"), TimeText::format(*request->time)}})));
    FUZZ_CHECK(again->clockIndex == request->clockIndex && again->time == request->time);
}

void gps(const QByteArray& body) {
    const std::optional<ClockRequest> request = whole(CommandDecoder::gps(body));
    if (!request)
        return;
    FUZZ_CHECK(request->kind == ClockRequest::Kind::Rmc);
    FUZZ_CHECK(request->rmcStatus == 'A' || request->rmcStatus == 'V');
    const std::optional<ClockRequest> again =
        whole(CommandDecoder::gps(json({{QStringLiteral("valid"), request->rmcStatus == 'A'}})));
    FUZZ_CHECK(again->rmcStatus == request->rmcStatus);
}

void readSettings(const QString& clock) {
    const std::optional<ClockRequest> request = whole(CommandDecoder::readSettings(clock));
    if (!request)
        return;
    FUZZ_CHECK(request->kind == ClockRequest::Kind::ReadSettings);
    FUZZ_CHECK(clock == QString::number(request->clockIndex + 1));
}

// The records written are those of the rows they decode to, saved as a file.
void writeSettings(const QString& clock, const QByteArray& file) {
    const std::optional<ClockRequest> request = whole(CommandDecoder::writeSettings(clock, file));
    if (!request)
        return;
    FUZZ_CHECK(request->kind == ClockRequest::Kind::WriteSettings);
    FUZZ_CHECK(clock == QString::number(request->clockIndex + 1));
    const QByteArray records = request->records();
    FUZZ_CHECK(records.size() == kGroupCount * GroupRecord::kSize);
    GroupRows rows;
    for (int row = 0; row < kGroupCount; ++row)
        rows[row] = GroupRecord::decode(records.mid(row * GroupRecord::kSize, GroupRecord::kSize));
    const std::optional<ClockRequest> again =
        whole(CommandDecoder::writeSettings(clock, SettingsFile::write(request->clockIndex + 1, rows)));
    FUZZ_CHECK(again->records() == records);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray body(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);
    switch (data[0] % 5) {
    case 0:
        setTime(body);
        break;
    case 1:
        countdown(body);
        break;
    case 2:
        gps(body);
        break;
    case 3:
        readSettings(QString::fromLatin1(body));
        break;
    default:
        writeSettings(QString::fromLatin1(body.left(1)), body.mid(1));
        break;
    }
    return 0;
}
