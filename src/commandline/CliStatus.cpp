#include "CliStatus.h"

#include "common/RuntimeError.h"
#include "session/ClockOutcome.h"

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
    case ClockOutcome::Status::StepRefused:
        return CliStatus::StepRefused;
    case ClockOutcome::Status::Failed:
        return exitStatusOf(*outcome.error);
    case ClockOutcome::Status::Cancelled:
        break;
    }
    return CliStatus::Failed;
}
