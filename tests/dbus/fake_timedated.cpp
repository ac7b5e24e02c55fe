// A stand-in for systemd-timedated on the (private) system bus that
// DBUS_SYSTEM_BUS_ADDRESS names. It prints "READY" once it owns its name,
// then one line per SetTime call, with the moment it came (microseconds since
// the epoch):
//   SetTime <usec_utc> <relative> <interactive> <interactive authorization allowed> <moment>
// With --refuse ntp it refuses as timedated does while NTP is on, with
// --refuse polkit as polkit does when the user is not authorized; otherwise
// it succeeds (and sets nothing).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <chrono>
#include <cstdio>

class FakeTimedated : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.timedate1")
public:
    explicit FakeTimedated(const QString& refusal) : m_refusal(refusal) {}

public slots:
    void SetTime(qlonglong usecUtc, bool relative, bool interactive) {
        const qint64 momentUs = std::chrono::duration_cast<std::chrono::microseconds>(
                                    std::chrono::system_clock::now().time_since_epoch())
                                    .count();
        const auto flag = [](bool value) {
            return value ? "true" : "false";
        };
        std::printf("SetTime %lld %s %s %s %lld\n", usecUtc, flag(relative), flag(interactive),
                    flag(message().isInteractiveAuthorizationAllowed()), qlonglong(momentUs));
        std::fflush(stdout);
        if (m_refusal == QLatin1String("ntp"))
            sendErrorReply(QStringLiteral("org.freedesktop.timedate1.AutomaticTimeSyncEnabled"),
                           QStringLiteral("Automatic time synchronization is enabled"));
        else if (m_refusal == QLatin1String("polkit"))
            sendErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                           QStringLiteral("Access denied"));
    }

private:
    QString m_refusal;
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype refuseAt = args.indexOf(QStringLiteral("--refuse"));
    FakeTimedated timedated(refuseAt > 0 ? args.value(refuseAt + 1) : QString());
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/timedate1"), &timedated,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.timedate1"))) {
        std::fprintf(stderr, "fake-timedated: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("READY\n");
    std::fflush(stdout);
    return app.exec();
}

#include "fake_timedated.moc"
