// The setter that asks systemd-timedated to set the computer's clock, against
// fake-timedated on a private system bus: the call and its arguments, the
// refusals, and the fallback where timedated is not there. Nothing here can
// reach the real timedated or set this computer's clock.
#include "FakeClockSetter.h"
#include "protocol/TimedatedClockSetter.h"

#include <QDateTime>
#include <QProcess>
#include <QTest>
#include <memory>

class TimedatedSetterTest : public QObject {
    Q_OBJECT

private:
    QProcess m_bus;
    std::unique_ptr<QProcess> m_timedated;

    // Starts fake-timedated with `arguments`; true once it owns its name.
    bool startTimedated(const QStringList& arguments) {
        m_timedated = std::make_unique<QProcess>();
        m_timedated->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_timedated->start(QStringLiteral(FAKE_TIMEDATED), arguments);
        while (m_timedated->waitForReadyRead(5000))
            if (m_timedated->canReadLine())
                return m_timedated->readLine() == "READY\n";
        return false;
    }
    // The SetTime calls fake-timedated took, one line each. It prints each
    // before it answers.
    QStringList calls() {
        if (m_timedated->bytesAvailable() == 0)
            m_timedated->waitForReadyRead(2000);
        return QString::fromLatin1(m_timedated->readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase() {
        m_bus.start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--config-file=" PRIVATE_BUS_CONFIG), QStringLiteral("--nofork"),
                     QStringLiteral("--print-address")});
        QVERIFY2(m_bus.waitForReadyRead(5000), "dbus-daemon did not start");
        const QByteArray address = m_bus.readLine().trimmed();
        QVERIFY(address.startsWith("unix:"));
        // Before anything in this process opens the system bus.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    }
    void cleanup() {
        if (m_timedated) {
            m_timedated->kill();
            m_timedated->waitForFinished();
            m_timedated.reset();
        }
    }
    void cleanupTestCase() {
        m_bus.terminate();
        m_bus.waitForFinished();
    }

    void asksTimedated_data() {
        QTest::addColumn<QStringList>("timedated"); // its arguments; none running when empty
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("fallbackCalls");
        QTest::newRow("clock set") << QStringList{QStringLiteral("--succeed")} << true << QString() << 0;
        QTest::newRow("automatic time synchronization on")
            << QStringList{QStringLiteral("--refuse"), QStringLiteral("ntp")} << false
            << "Permission denied: the computer's clock is kept by automatic time synchronization (NTP), so "
               "nothing was set. To set it from the master clock, turn that off first: timedatectl set-ntp "
               "false"
            << 0;
        QTest::newRow("polkit refuses")
            << QStringList{QStringLiteral("--refuse"), QStringLiteral("polkit")} << false
            << "Permission denied: systemd-timedated did not set the computer's clock: Access denied" << 0;
        QTest::newRow("no timedated") << QStringList() << true << QString() << 1;
    }
    void asksTimedated() {
        QFETCH(QStringList, timedated);
        QFETCH(bool, ok);
        QFETCH(QString, reason);
        QFETCH(int, fallbackCalls);
        if (!timedated.isEmpty())
            QVERIFY(startTimedated(timedated));
        FakeClockSetter fallback;
        TimedatedClockSetter setter(fallback);
        const QTime time(12, 34, 56);
        const SystemClockSetter::Result result = setter.setTimeOfDay(time);
        QCOMPARE(!result, ok);
        QCOMPARE(reasonOf(result), reason);
        QCOMPARE(errorNumberOf(result), ok ? 0 : 70);
        QCOMPARE(fallback.times, QList<QTime>(fallbackCalls, time));
        if (timedated.isEmpty())
            return;
        // Today at the received time and half a second, local time; absolute;
        // polkit may ask the user.
        const qint64 expected =
            QDateTime(QDate::currentDate(), QTime(12, 34, 56, 500), Qt::LocalTime).toMSecsSinceEpoch() * 1000;
        QCOMPARE(calls(), QStringList{QStringLiteral("SetTime %1 false true true").arg(expected)});
    }
};

QTEST_MAIN(TimedatedSetterTest)
#include "tst_timedated_setter.moc"
