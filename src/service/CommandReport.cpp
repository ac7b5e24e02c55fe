#include "CommandReport.h"

#include "protocol/CommandTexts.h"
#include "schedule/TimeText.h"
#include "session/ClockCommand.h"

#include <QJsonArray>

namespace {

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
    for (const ClockCommand::Field& field : ClockCommands::of(request.kind).fields(outcome))
        body.insert(field.name, QJsonValue::fromVariant(field.value));
    if (outcome.clockIndex >= 0)
        body.insert(QStringLiteral("rows"), rowsOf(outcome.rows));
    // A set time asked to be confirmed: the master clock by its next time
    // frame, or null when none came.
    if (!request.confirm)
        return;
    QJsonValue masterClock(QJsonValue::Null);
    if (const std::optional<TimeFrameMonitor::Sighting>& next = outcome.nextTimeFrame)
        masterClock = QJsonObject{{QStringLiteral("time"), TimeText::format(next->clockTime)},
                                  {QStringLiteral("offsetMs"), double(next->offsetUs) / 1000.0}};
    body.insert(QStringLiteral("masterClock"), masterClock);
}

} // namespace

int CommandReport::httpStatusOf(ClockOutcome::Status status) {
    switch (status) {
    case ClockOutcome::Status::Done:
        return 200;
    case ClockOutcome::Status::NoAnswer:
        return 504;
    case ClockOutcome::Status::ForeignAnswer:
    case ClockOutcome::Status::ShortAnswer:
    case ClockOutcome::Status::InvalidAnswer:
        return 502;
    case ClockOutcome::Status::Failed:
    case ClockOutcome::Status::Cancelled:
        return 503;
    case ClockOutcome::Status::ClockNotSet:
        return 500;
    case ClockOutcome::Status::StepRefused:
        return 409;
    }
    Q_UNREACHABLE();
}

QString CommandReport::messageOf(const ClockRequest& request, const ClockOutcome& outcome) {
    const ClockCommand& command = ClockCommands::of(request.kind);
    switch (outcome.status) {
    case ClockOutcome::Status::Done:
        return command.doneText;
    case ClockOutcome::Status::NoAnswer:
    case ClockOutcome::Status::ForeignAnswer:
        return command.missingAnswerText(outcome);
    case ClockOutcome::Status::Cancelled:
        return QStringLiteral("The service stopped before the command ended");
    case ClockOutcome::Status::ShortAnswer:
    case ClockOutcome::Status::InvalidAnswer:
    case ClockOutcome::Status::Failed:
    case ClockOutcome::Status::ClockNotSet:
    case ClockOutcome::Status::StepRefused:
        break;
    }
    return outcome.error ? CommandTexts::errorReport(*outcome.error)
                         : ClockOutcome::statusName(outcome.status);
}

CommandReport CommandReport::of(const ClockRequest& request, const ClockOutcome& outcome,
                                const LineTraffic& traffic, const QStringList& warnings) {
    CommandReport report;
    report.httpStatus = httpStatusOf(outcome.status);
    report.body = {{QStringLiteral("command"), ClockCommands::of(request.kind).name},
                   {QStringLiteral("outcome"), ClockOutcome::statusName(outcome.status)},
                   {QStringLiteral("sent"), QJsonArray::fromStringList(traffic.sent)},
                   {QStringLiteral("received"), QJsonArray::fromStringList(traffic.received)},
                   {QStringLiteral("frames"), QJsonArray::fromStringList(traffic.lines)}};
    if (!warnings.isEmpty())
        report.body.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(warnings));
    const QString message = messageOf(request, outcome);
    if (!message.isEmpty())
        report.body.insert(outcome.done() ? QStringLiteral("message") : QStringLiteral("error"), message);
    if (outcome.done())
        addDecoded(report.body, request, outcome);
    return report;
}

CommandReport CommandReport::refusal(int httpStatus, const QString& why) {
    return {httpStatus, QJsonObject{{QStringLiteral("error"), why}}};
}
