#include "SystemClockSetter.h"

#include "common/RuntimeError.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
constexpr int kSetterTimeoutMs = 15000;
}

SystemClockSetter::Result ShellClockSetter::setTimeOfDay(const QTime& time) {
    const QString timeText = time.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(".5");
    QProcess process;
#ifdef Q_OS_WIN
    const QString program = QStringLiteral("cmd");
    process.setNativeArguments(QStringLiteral("/c time ") + timeText);
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* args) {
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_SHOWMINIMIZED;
    });
#else
    const QString program = QStringLiteral("date");
    process.setArguments({QStringLiteral("-s"), timeText});
#endif
    process.setProgram(program);
    process.setProcessChannelMode(QProcess::MergedChannels);

    // Wait in an event loop so that the window stays responsive.
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            loop.quit();
    });
    QTimer::singleShot(kSetterTimeoutMs, &loop, &QEventLoop::quit);
    process.start();
    if (process.state() != QProcess::NotRunning || process.error() != QProcess::FailedToStart)
        loop.exec();

    if (process.error() == QProcess::FailedToStart)
        return {false, ErrorNumber::FileNotFound,
                QStringLiteral(
                    "File not found: the program %1 that sets the computer's clock cannot be started (%2)")
                    .arg(program, process.errorString())};
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(1000);
        return {false, ErrorNumber::DeviceIoError,
                QStringLiteral("%1 did not finish setting the computer's clock").arg(program)};
    }
    const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {false, ErrorNumber::PermissionDenied,
                output.isEmpty() ? QStringLiteral("%1 failed to set the computer's clock (exit code %2)")
                                       .arg(program)
                                       .arg(process.exitCode())
                                 : output};
    return {true, 0, QString()};
}
