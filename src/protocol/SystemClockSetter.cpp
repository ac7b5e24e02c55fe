#include "SystemClockSetter.h"

#include "WallClock.h"
#include "common/RuntimeError.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
constexpr int kSetterTimeoutMs = 15000;

// The instant `offsetUs` from `now`, in microseconds since the epoch.
qint64 instantUs(const QDateTime& now, qint64 offsetUs) {
    return now.toMSecsSinceEpoch() * 1000 + offsetUs;
}

#ifdef Q_OS_WIN
// cmd's time takes hundredths of a second: the instant to the nearest one.
QDateTime hundredthsTarget(const QDateTime& now, qint64 offsetUs) {
    return QDateTime::fromMSecsSinceEpoch((instantUs(now, offsetUs) + 5000) / 10000 * 10);
}

// "/c time hh:nn:ss.cc"
QString timeArguments(const QDateTime& target) {
    return QStringLiteral("/c time %1.%2")
        .arg(target.toString(QStringLiteral("HH:mm:ss")))
        .arg(target.time().msec() / 10, 2, 10, QLatin1Char('0'));
}
#else
// "2024-03-05 23:59:59.009375 +0100": local date and time with its UTC
// offset, which leaves no doubt in the hour a daylight-saving change repeats.
QString dateArgument(qint64 instant) {
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(instant / 1000);
    const int offsetMinutes = local.offsetFromUtc() / 60;
    return QStringLiteral("%1.%2 %3%4%5")
        .arg(local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
        .arg(instant % 1'000'000, 6, 10, QLatin1Char('0'))
        .arg(offsetMinutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(qAbs(offsetMinutes) / 60, 2, 10, QLatin1Char('0'))
        .arg(qAbs(offsetMinutes) % 60, 2, 10, QLatin1Char('0'));
}
#endif
} // namespace

ShellClockSetter::ShellClockSetter(const WallClock& clock, QString program)
    : m_clock(clock), m_program(std::move(program)) {
    if (m_program.isEmpty())
#ifdef Q_OS_WIN
        m_program = QStringLiteral("cmd");
#else
        m_program = QStringLiteral("date");
#endif
}

bool ShellClockSetter::canMoveClockBy([[maybe_unused]] qint64 offsetUs) const {
#ifdef Q_OS_WIN
    // cmd's time keeps the date.
    const QDateTime now = m_clock.now();
    return hundredthsTarget(now, offsetUs).date() == now.date();
#else
    return true;
#endif
}

SystemClockSetter::Result ShellClockSetter::moveClockBy(qint64 offsetUs) {
    QProcess process;
#ifdef Q_OS_WIN
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* args) {
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_SHOWMINIMIZED;
    });
#endif
    process.setProgram(m_program);
    process.setProcessChannelMode(QProcess::MergedChannels);
    // A time the command cannot take makes cmd ask for another one: it must
    // read the end of its input, not wait for an answer nobody gives.
    process.setStandardInputFile(QProcess::nullDevice());

    // Wait in an event loop so that the window stays responsive.
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            loop.quit();
    });
    const QDeadlineTimer deadline(kSetterTimeoutMs);
    QTimer::singleShot(kSetterTimeoutMs, &loop, &QEventLoop::quit);

    // The time to set is read off the computer's clock right before the
    // command starts.
    const QDateTime now = m_clock.now();
#ifdef Q_OS_WIN
    const QDateTime target = hundredthsTarget(now, offsetUs);
    if (target.date() != now.date())
        return RuntimeError(ErrorNumber::PermissionDenied,
                            QStringLiteral("The computer's clock would move into another day, which the "
                                           "time command cannot do: nothing was set"));
    process.setNativeArguments(timeArguments(target));
#else
    process.setArguments({QStringLiteral("-s"), dateArgument(instantUs(now, offsetUs))});
#endif
    process.start();
    if (process.state() != QProcess::NotRunning || process.error() != QProcess::FailedToStart)
        loop.exec();
    // A closing window ends every event loop; the setting still runs to its end.
    if (process.state() != QProcess::NotRunning)
        process.waitForFinished(int(deadline.remainingTime()));

    if (process.error() == QProcess::FailedToStart)
        return RuntimeError(
            ErrorNumber::FileNotFound,
            QStringLiteral(
                "File not found: the program %1 that sets the computer's clock cannot be started (%2)")
                .arg(m_program, process.errorString()));
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(1000);
        return RuntimeError(ErrorNumber::DeviceIoError,
                            QStringLiteral("%1 did not finish setting the computer's clock").arg(m_program));
    }
    const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return RuntimeError(ErrorNumber::PermissionDenied,
                            output.isEmpty()
                                ? QStringLiteral("%1 failed to set the computer's clock (exit code %2)")
                                      .arg(m_program)
                                      .arg(process.exitCode())
                                : output);
#ifdef Q_OS_WIN
    // cmd's time sets the clock silently; whatever it says means it did not
    // (Wine's "Not Yet Implemented" even comes with exit code 0).
    if (!output.isEmpty())
        return RuntimeError(ErrorNumber::PermissionDenied, output);
#endif
    return std::nullopt;
}
