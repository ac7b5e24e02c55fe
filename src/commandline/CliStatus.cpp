#include "CliStatus.h"

#include "common/RuntimeError.h"
#include "session/ClockOutcome.h"

const QList<CliStatusMeaning>& cliStatusMeanings() {
    static const QList<CliStatusMeaning> meanings = {
        {CliStatus::Ok, QStringLiteral("success")},
        {CliStatus::Failed,
         QStringLiteral("any other failure on the line (a write refused, the device lost)")},
        {CliStatus::Usage,
         QStringLiteral("usage error, also a missing --port where several ports are there")},
        {CliStatus::PortUnavailable, QStringLiteral("no usable port, or the port cannot be opened")},
        {CliStatus::NoAnswer, QStringLiteral("no answer in time, or an answer with foreign codes")},
        {CliStatus::ShortAnswer, QStringLiteral("an answer cut short")},
        {CliStatus::FileNotLoaded,
         QStringLiteral("the settings file cannot be read, does not load, or cannot be saved")},
        {CliStatus::ClockNotSet, QStringLiteral("the computer's clock cannot be set")},
    };
    return meanings;
}

CliStatus exitStatusOf(const RuntimeError& error) {
    switch (error.number()) {
    case ErrorNumber::Overflow:
    case ErrorNumber::SubscriptOutOfRange:
    case ErrorNumber::TypeMismatch:
    case ErrorNumber::FileNotFound:
    case ErrorNumber::InputPastEndOfFile:
    case ErrorNumber::PermissionDenied:
    case ErrorNumber::PathFileAccessError:
    case ErrorNumber::PathNotFound:
    case ErrorNumber::DeviceIoError:
        return CliStatus::FileNotLoaded;
    case ErrorNumber::ReadFailed:
    case ErrorNumber::WriteFailed:
    case ErrorNumber::DeviceLost:
        return CliStatus::Failed;
    case ErrorNumber::InvalidPropertyValue:
    case ErrorNumber::InvalidWhileOpen:
    case ErrorNumber::InvalidPortNumber:
    case ErrorNumber::AlreadyOpen:
    case ErrorNumber::UnsupportedSettings:
    case ErrorNumber::HardwareNotAvailable:
    case ErrorNumber::NoPermission:
    case ErrorNumber::NotOpen:
        return CliStatus::PortUnavailable;
    }
    return CliStatus::Failed;
}

CliStatus exitStatusOf(const ClockOutcome& outcome) {
    switch (outcome.status) {
    case ClockOutcome::Status::Done:
        return CliStatus::Ok;
    case ClockOutcome::Status::NoAnswer:
    case ClockOutcome::Status::ForeignAnswer:
    case ClockOutcome::Status::InvalidAnswer:
        return CliStatus::NoAnswer;
    case ClockOutcome::Status::ShortAnswer:
        return CliStatus::ShortAnswer;
    case ClockOutcome::Status::ClockNotSet:
        return CliStatus::ClockNotSet;
    case ClockOutcome::Status::Failed:
        return exitStatusOf(*outcome.error);
    case ClockOutcome::Status::Cancelled:
        break;
    }
    return CliStatus::Failed;
}
