// The setter that asks systemd-timedated to set the computer's clock, against
// fake-timedated on a private system bus: the call and its arguments, the
// refusals, and the fallback where timedated is not there. Then how close the
// sync comes to the master clock through both Linux setters. Nothing here can
// reach the real timedated or set this computer's clock.
#include "FakeClockSetter.h"
#include "SimProcess.h"
#include "commandline/ClockCli.h"
#include "protocol/TimedatedClockSetter.h"
#include "protocol/WallClock.h"
#include "serial/QtSerialDevice.h"
#include "serial/SystemPortCatalog.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
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
    // The calls the fake timedated noted, one a line, once `expected` are there (or after 2 s).
    QStringList calls(int expected = 1) {
        QStringList lines;
        const QDeadlineTimer deadline(2000);
        while (lines.size() < expected) {
            while (m_timedated->canReadLine())
                lines << QString::fromLatin1(m_timedated->readLine()).trimmed();
            if (lines.size() >= expected || !m_timedated->waitForReadyRead(int(deadline.remainingTime())))
                break;
        }
        return lines;
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
        const qint64 offsetUs = -1'390'625;
        const SystemClockSetter::Result result = setter.moveClockBy(offsetUs);
        QCOMPARE(!result, ok);
        QCOMPARE(reasonOf(result), reason);
        QCOMPARE(errorNumberOf(result), ok ? 0 : 70);
        QCOMPARE(fallback.offsetsUs, QList<qint64>(fallbackCalls, offsetUs));
        if (timedated.isEmpty())
            return;
        // The offset, relative; polkit may ask the user.
        const QStringList calls = this->calls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().section(QLatin1Char(' '), 0, 4),
                 QStringLiteral("SetTime -1390625 true true true"));
    }

    // The instant each setter is asked for minus the master clock's time at
    // that moment (Δ), for varo-clock-cli sync-computer against the simulator,
    // whose clock runs `simOffsetMs` ahead of the computer's. The median of
    // VARO_SYNC_SAMPLES syncs (3 by default) must lie within 20 ms from 10
    // syncs on, within 50 ms below.
    void syncAccuracy_data() {
        QTest::addColumn<bool>("timedated");
        QTest::addColumn<qint64>("simOffsetMs");
        QTest::newRow("date -s") << false << qint64(2'345);
        QTest::newRow("timedated") << true << qint64(-1'234);
    }
    void syncAccuracy() {
        QFETCH(bool, timedated);
        QFETCH(qint64, simOffsetMs);
        const int samples = qMax(qEnvironmentVariableIntValue("VARO_SYNC_SAMPLES"), 3);
        SimProcess sim;
        QVERIFY(sim.start({"--time-frames", "1", "--offset-ms", QString::number(simOffsetMs), "--persist"}));
        if (timedated)
            QVERIFY(startTimedated({}));
        // A stand-in `date` that notes the moment it started and the instant
        // it is asked for, as GNU date reads it, in microseconds since the epoch.
        QTemporaryDir dir;
        QFile date(dir.filePath(QStringLiteral("date")));
        QVERIFY(date.open(QIODevice::WriteOnly));
        date.write(
            "#!/bin/bash\nnow=${EPOCHREALTIME/[.,]/}\necho $now $(date -d \"$2\" +%s%6N) >> $0.asked\n");
        date.close();
        QVERIFY(date.setPermissions(QFile::ReadOwner | QFile::ExeOwner));

        SystemWallClock clock;
        ShellClockSetter shell(clock, date.fileName());
        TimedatedClockSetter viaTimedated(shell);
        SystemPortCatalog ports;
        for (int i = 0; i < samples; ++i) {
            QString out, err;
            QTextStream outStream(&out), errStream(&err);
            ClockCli cli({&clock, timedated ? static_cast<SystemClockSetter*>(&viaTimedated) : &shell,
                          QtSerialDevice::factory(), &ports, &outStream, &errStream});
            QVERIFY2(cli.run({"--port", sim.device(), "sync-computer"}) == CliStatus::Ok, qPrintable(err));
        }

        // timedated is asked for a move (relative), date for an instant.
        QList<qint64> deltasUs;
        QFile asked(date.fileName() + QStringLiteral(".asked"));
        QVERIFY(timedated || asked.open(QIODevice::ReadOnly));
        const QStringList records =
            timedated ? calls(samples) : QString(asked.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& record : records) {
            const QStringList field = record.split(QLatin1Char(' '));
            const qint64 moveUs =
                timedated ? field[1].toLongLong() : field[1].toLongLong() - field[0].toLongLong();
            deltasUs << moveUs - simOffsetMs * 1000;
        }
        QCOMPARE(deltasUs.size(), samples);
        std::sort(deltasUs.begin(), deltasUs.end());
        const double medianMs = (deltasUs[(samples - 1) / 2] + deltasUs[samples / 2]) / 2000.0;
        const QString figures = QStringLiteral("median %1 ms, %2 to %3 ms, %4 syncs")
                                    .arg(medianMs)
                                    .arg(deltasUs.first() / 1000.0)
                                    .arg(deltasUs.last() / 1000.0)
                                    .arg(samples);
        qInfo("%s", qPrintable(figures));
        QVERIFY2(qAbs(medianMs) <= (samples >= 10 ? 20 : 50), qPrintable(figures));
    }
};

QTEST_MAIN(TimedatedSetterTest)
#include "tst_timedated_setter.moc"
