#include "CommandReport.h"

#include "protocol/CommandTexts.h"
#include "session/MissingAnswerText.h"
#include "settings_file/SettingsFile.h"

#include <QJsonArray>

namespace {

struct OutcomeForm {
    ClockOutcome::Status status;
    const char* name;
    int httpStatus;
};

// Each way an exchange ends, as /metrics names it and as HTTP answers it: the
// master clock silent, foreign or cut short, the port gone.
const OutcomeForm kOutcomes[] = {
    {ClockOutcome::Status::Done, "done", 200},
    {ClockOutcome::Status::NoAnswer, "no_answer", 504},
    {ClockOutcome::Status::ForeignAnswer, "foreign_answer", 502},
    {ClockOutcome::Status::ShortAnswer, "short_answer", 502},
    {ClockOutcome::Status::InvalidAnswer, "invalid_answer", 502},
    {ClockOutcome::Status::Failed, "failed", 503},
    {ClockOutcome::Status::ClockNotSet, "clock_not_set", 500},
    {ClockOutcome::Status::Cancelled, "cancelled", 503},
};

const OutcomeForm& formOf(ClockOutcome::Status status) {
    for (const OutcomeForm& form : kOutcomes)
        if (form.status == status)
            return form;
    Q_UNREACHABLE();
}

// What the window shows or says of an outcome, or the command line where the
// window stays silent; nothing for a frame that was simply written.
QString messageOf(ClockRequest::Kind kind, const ClockOutcome& outcome) {
    switch (outcome.status) {
    case ClockOutcome::Status::Done:
        if (kind == ClockRequest::Kind::ReadSettings)
            return CommandTexts::kReadSuccess;
        if (kind == ClockRequest::Kind::WriteSettings)
            return CommandTexts::kWriteSuccess;
        return QString();
    case ClockOutcome::Status::NoAnswer:
    case ClockOutcome::Status::ForeignAnswer:
        return missingAnswerText(kind, outcome);
    case ClockOutcome::Status::Cancelled:
        return QStringLiteral("The service stopped before the command ended");
    default:
        return CommandTexts::errorReport(*outcome.error);
    }
}

QJsonArray rowsOf(const GroupRows& rows) {
    QJsonArray array;
    for (const GroupRow& row : rows)
        array.append(QJsonObject{{QStringLiteral("valid"), row.Valid == CheckState::Ticked},
                                 {QStringLiteral("refreshTime"), row.RefreshTime},
                                 {QStringLiteral("countdownLength"), row.CountdownLength},
                                 {QStringLiteral("static"), row.StaticFlag == CheckState::Ticked},
                                 {QStringLiteral("ignoreHours"), row.IgnoreHours == CheckState::Ticked}});
    return array;
}

// What a command that went through made or decoded.
void addDecoded(QJsonObject& body, const ClockRequest& request, const ClockOutcome& outcome) {
    if (outcome.second.isValid())
        body.insert(QStringLiteral("second"), outcome.second.toString(Qt::ISODate));
    switch (request.kind) {
    case ClockRequest::Kind::SetTime:
        body.insert(QStringLiteral("frameText"), outcome.frameText);
        break;
    case ClockRequest::Kind::Countdown:
        body.insert(QStringLiteral("remaining"), outcome.frameText);
        break;
    case ClockRequest::Kind::Rmc:
        body.insert(QStringLiteral("sentence"), QString::fromLatin1(outcome.sent).trimmed());
        break;
    case ClockRequest::Kind::ReadSettings:
    case ClockRequest::Kind::WriteSettings:
        body.insert(QStringLiteral("clock"), outcome.clockIndex + 1);
        body.insert(QStringLiteral("file"),
                    QString::fromLatin1(SettingsFile::write(outcome.clockIndex + 1, outcome.rows)));
        body.insert(QStringLiteral("rows"), rowsOf(outcome.rows));
        break;
    case ClockRequest::Kind::TimeFrame: // the service never listens for one as a command
        break;
    }
}

} // namespace

QString CommandReport::commandName(ClockRequest::Kind kind) {
    switch (kind) {
    case ClockRequest::Kind::SetTime:
        return QStringLiteral("set_time");
    case ClockRequest::Kind::Countdown:
        return QStringLiteral("countdown");
    case ClockRequest::Kind::Rmc:
        return QStringLiteral("gps");
    case ClockRequest::Kind::ReadSettings:
        return QStringLiteral("read_settings");
    case ClockRequest::Kind::WriteSettings:
        return QStringLiteral("write_settings");
    case ClockRequest::Kind::TimeFrame:
        return QStringLiteral("time_frame");
    }
    Q_UNREACHABLE();
}

QString CommandReport::outcomeName(ClockOutcome::Status status) {
    return QString::fromLatin1(formOf(status).name);
}

CommandReport CommandReport::of(const ClockRequest& request, const ClockOutcome& outcome,
                                const LineTraffic& traffic) {
    CommandReport report;
    report.httpStatus = formOf(outcome.status).httpStatus;
    report.body = {{QStringLiteral("command"), commandName(request.kind)},
                   {QStringLiteral("outcome"), outcomeName(outcome.status)},
                   {QStringLiteral("sent"), QJsonArray::fromStringList(traffic.sent)},
                   {QStringLiteral("received"), QJsonArray::fromStringList(traffic.received)},
                   {QStringLiteral("frames"), QJsonArray::fromStringList(traffic.lines)}};
    const QString message = messageOf(request.kind, outcome);
    if (!message.isEmpty())
        report.body.insert(outcome.done() ? QStringLiteral("message") : QStringLiteral("error"), message);
    if (outcome.done())
        addDecoded(report.body, request, outcome);
    return report;
}

CommandReport CommandReport::refusal(int httpStatus, const QString& why) {
    return {httpStatus, QJsonObject{{QStringLiteral("error"), why}}};
}
