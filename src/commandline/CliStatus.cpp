#include "CliStatus.h"

#include "common/RuntimeError.h"
#include "session/ClockOutcome.h"

const QList<CliStatusMeaning>& cliStatusMeanings() {
    static const QList<CliStatusMeaning> meanings = {
        {CliStatus::Ok, QStringLiteral("success"), QString()},
        {CliStatus::Failed, QStringLiteral("any other failure on the line (a write refused, the device lost)"),
         QStringLiteral("Writing Error 8022:Com16 (/dev/pts/3) stopped working: ...")},
        {CliStatus::Usage, QStringLiteral("usage error, also a missing --port where several ports are there"),
         QStringLiteral("varo-clock-cli: countdown needs --clock 1 or --clock 2")},
        {CliStatus::PortUnavailable, QStringLiteral("no usable port, or the port cannot be opened"),
         QStringLiteral("8002: /dev/ttyUSB9 does not exist (No such file or directory)")},
        {CliStatus::NoAnswer, QStringLiteral("no answer in time, or an answer with foreign codes"),
         QStringLiteral("No answer from the master clock to the read")},
        {CliStatus::ShortAnswer, QStringLiteral("an answer cut short"),
         QStringLiteral("Writing Error 9:Subscript out of range: the master clock's answer held only 10 of "
                        "its 50 bytes; ...")},
        {CliStatus::FileNotLoaded,
         QStringLiteral("the settings file cannot be read, does not load, or cannot be saved"),
         QStringLiteral("设置无法装载: line 1 of clock1.txt: ...")},
        {CliStatus::ClockNotSet, QStringLiteral("the computer's clock cannot be set"),
         QStringLiteral("Writing Error 70:date: cannot set date: Operation not permitted")},
        {CliStatus::NotSynchronized,
         QStringLiteral("--require-sync: the computer's clock is not synchronized, or its state is unknown"),
         QStringLiteral("the computer's clock is not synchronized: adjtimex: max error 16000 ms, ...")},
        {CliStatus::StepRefused,
         QStringLiteral("sync-computer: the computer's clock would move further than --max-step allows "
                        "(default 60 s); nothing was set"),
         QStringLiteral("The computer's clock would move by +7 h 36 min 12 s, more than the 60 s allowed: "
                        "nothing was set (--max-step SECONDS allows more)")},
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
    case ClockOutcome::Status::StepRefused:
        return CliStatus::StepRefused;
    case ClockOutcome::Status::Failed:
        return exitStatusOf(*outcome.error);
    case ClockOutcome::Status::Cancelled:
        break;
    }
    return CliStatus::Failed;
}
