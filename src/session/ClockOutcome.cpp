#include "ClockOutcome.h"

QString ClockOutcome::statusName(Status status) {
    switch (status) {
    case Status::Done:
        return QStringLiteral("done");
    case Status::NoAnswer:
        return QStringLiteral("no_answer");
    case Status::ForeignAnswer:
        return QStringLiteral("foreign_answer");
    case Status::ShortAnswer:
        return QStringLiteral("short_answer");
    case Status::InvalidAnswer:
        return QStringLiteral("invalid_answer");
    case Status::Failed:
        return QStringLiteral("failed");
    case Status::ClockNotSet:
        return QStringLiteral("clock_not_set");
    case Status::StepRefused:
        return QStringLiteral("step_refused");
    case Status::Cancelled:
        return QStringLiteral("cancelled");
    }
    Q_UNREACHABLE();
}
