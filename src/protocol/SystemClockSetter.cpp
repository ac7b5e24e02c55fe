#include "SystemClockSetter.h"

#include "common/RuntimeError.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
constexpr int kSetterTimeoutMs = 15000;
}

ShellClockSetter::ShellClockSetter(QString program) : m_program(std::move(program)) {
    if (m_program.isEmpty())
#ifdef Q_OS_WIN
        m_program = QStringLiteral("cmd");
#else
        m_program = QStringLiteral("date");
#endif
}

SystemClockSetter::Result ShellClockSetter::setTimeOfDay(const QTime& time) {
    const QString timeText = time.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(".5");
    QProcess process;
#ifdef Q_OS_WIN
    process.setNativeArguments(QStringLiteral("/c time ") + timeText);
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* args) {
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_SHOWMINIMIZED;
    });
#else
    process.setArguments({QStringLiteral("-s"), timeText});
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
