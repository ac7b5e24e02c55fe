#include "CommandDecoder.h"

#include "common/RuntimeError.h"
#include "protocol/CommandTexts.h"
#include "schedule/GroupRecord.h"
#include "schedule/TimeText.h"
#include "settings_file/SettingsFile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace CommandDecoder {

namespace {
const QString kTime = QStringLiteral("time");
const QString kClock = QStringLiteral("clock");
const QString kValid = QStringLiteral("valid");

Decoded refused(const QString& error) {
    return {std::nullopt, error};
}

// The body as a JSON object with no members but `known`; an empty body is
// an empty object.
std::optional<QJsonObject> objectOf(const QByteArray& body, const QStringList& known, QString* error) {
    if (body.trimmed().isEmpty())
        return QJsonObject();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error =
            QStringLiteral("bad JSON: %1 at byte %2").arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("bad JSON: the body must be an object");
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    for (auto member = object.begin(); member != object.end(); ++member)
        if (!known.contains(member.key())) {
            *error = QStringLiteral("unknown member \"%1\"").arg(member.key());
            return std::nullopt;
        }
    return object;
}

std::optional<QTime> timeOf(const QJsonObject& object, QString* error) {
    const QJsonValue value = object.value(kTime);
    const std::optional<QTime> time = value.isString() ? TimeText::parse(value.toString()) : std::nullopt;
    if (!time)
        *error = QStringLiteral("\"time\" must be a time of day, \"HH:MM:SS\"");
    return time;
}

// "1" or "2" as the path names a countdown clock; its list index 0 or 1.
std::optional<int> clockIndexOf(const QString& clock, QString* error) {
    if (clock == QLatin1String("1") || clock == QLatin1String("2"))
        return clock.toInt() - 1;
    *error = QStringLiteral("the countdown clock is 1 or 2");
    return std::nullopt;
}
} // namespace

Decoded setTime(const QByteArray& body) {
    QString error;
    const std::optional<QJsonObject> object = objectOf(body, {kTime}, &error);
    if (!object)
        return refused(error);
    if (!object->contains(kTime))
        return {ClockRequest::setTime(), {}};
    const std::optional<QTime> time = timeOf(*object, &error);
    return time ? Decoded{ClockRequest::setTime(time), {}} : refused(error);
}

Decoded countdown(const QByteArray& body) {
    QString error;
    const std::optional<QJsonObject> object = objectOf(body, {kClock, kTime}, &error);
    if (!object)
        return refused(error);
    const QJsonValue clock = object->value(kClock);
    if (!clock.isDouble() || (clock.toDouble() != 1 && clock.toDouble() != 2))
        return refused(QStringLiteral("\"clock\" must be 1 or 2"));
    const std::optional<QTime> time = timeOf(*object, &error);
    if (!time)
        return refused(error);
    return {ClockRequest::countdown(clock.toInt() - 1, *time), {}};
}

Decoded gps(const QByteArray& body) {
    QString error;
    const std::optional<QJsonObject> object = objectOf(body, {kValid}, &error);
    if (!object)
        return refused(error);
    const QJsonValue valid = object->value(kValid);
    if (!valid.isBool())
        return refused(QStringLiteral("\"valid\" must be true or false"));
    return {ClockRequest::rmc(valid.toBool() ? 'A' : 'V'), {}};
}

Decoded readSettings(const QString& clock) {
    QString error;
    const std::optional<int> index = clockIndexOf(clock, &error);
    return index ? Decoded{ClockRequest::readSettings(*index), {}} : refused(error);
}

Decoded writeSettings(const QString& clock, const QByteArray& file) {
    QString error;
    const std::optional<int> index = clockIndexOf(clock, &error);
    if (!index)
        return refused(error);
    const SettingsFile::Loaded loaded = SettingsFile::read(file);
    switch (loaded.status) {
    case SettingsFile::Loaded::Status::BadHeader:
        return refused(SettingsFile::kCannotLoad);
    case SettingsFile::Loaded::Status::EndsEarly:
        return refused(CommandTexts::errorReport(RuntimeError(
            ErrorNumber::InputPastEndOfFile,
            QStringLiteral(
                "Input past end of file: the body holds %1 of the file's 9 lines; nothing was loaded")
                .arg(loaded.linesFound))));
    case SettingsFile::Loaded::Status::Ok:
        break;
    }
    if (loaded.schedule.ClockNumber != *index + 1)
        return refused(QStringLiteral("the file's header names clock %1, not clock %2")
                           .arg(loaded.schedule.ClockNumber)
                           .arg(*index + 1));
    try {
        const QByteArray records = GroupRecord::encodeRows(loaded.schedule.rows);
        return {ClockRequest::writeSettings(*index, [records] { return records; }), {}};
    } catch (const RuntimeError& failure) {
        return refused(CommandTexts::errorReport(failure));
    }
}

} // namespace CommandDecoder
