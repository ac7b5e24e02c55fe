#include "TimedatedClockSetter.h"

#include "common/RuntimeError.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>

namespace {
const QString kService = QStringLiteral("org.freedesktop.timedate1");
const QString kPath = QStringLiteral("/org/freedesktop/timedate1");
const QString kInterface = QStringLiteral("org.freedesktop.timedate1");
const QString kNtpEnabled = QStringLiteral("org.freedesktop.timedate1.AutomaticTimeSyncEnabled");
// Long enough for an administrator to type a password into polkit's dialog.
constexpr int kCallTimeoutMs = 120000;

// Errors that say timedated is not there at all, rather than that it refused.
bool isAbsent(const QString& errorName) {
    return errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           errorName == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           errorName == QLatin1String("org.freedesktop.systemd1.NoSuchUnit") ||
           errorName.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn."));
}
} // namespace

SystemClockSetter::Result TimedatedClockSetter::moveClockBy(qint64 offsetUs) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return m_fallback.moveClockBy(offsetUs);

    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("SetTime"));
    // Relative, and polkit may ask the user interactively.
    call << qlonglong(offsetUs) << true << true;
    call.setInteractiveAuthorizationAllowed(true);
    QDBusPendingCall pending = bus.asyncCall(call, kCallTimeoutMs);

    // Wait in an event loop so that the window stays responsive.
    QDBusPendingCallWatcher watcher(pending);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!pending.isFinished())
        loop.exec();
    // A closing window ends every event loop; the setting still runs to its end.
    pending.waitForFinished();

    const QDBusMessage reply = pending.reply();
    if (reply.type() != QDBusMessage::ErrorMessage)
        return std::nullopt;
    if (isAbsent(reply.errorName()))
        return m_fallback.moveClockBy(offsetUs);
    if (reply.errorName() == kNtpEnabled)
        return RuntimeError(
            ErrorNumber::PermissionDenied,
            QStringLiteral("Permission denied: the computer's clock is kept by automatic time "
                           "synchronization (NTP), so nothing was set. To set it from the master clock, "
                           "turn that off first: timedatectl set-ntp false"));
    return RuntimeError(
        ErrorNumber::PermissionDenied,
        QStringLiteral("Permission denied: systemd-timedated did not set the computer's clock: %1")
            .arg(reply.errorMessage()));
}
