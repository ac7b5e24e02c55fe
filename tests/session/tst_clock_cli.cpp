// The command line on fake serial ports: what it prints and the exit status
// of each way a command ends.
#include "FakeClock.h"
#include "FakeClockReader.h"
#include "FakeClockSetter.h"
#include "FakeSerial.h"
#include "KnownBytes.h"
#include "commandline/ClockCli.h"

#include <QtTest>

using Sync = ComputerClockState::Sync;
Q_DECLARE_METATYPE(ComputerClockState)

class TestClockCli : public QObject {
    Q_OBJECT

private slots:
    void outcomes_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<FakeSerialBank::Port>("port1");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        const FakeSerialBank::Port usable = FakeSerialBank::Port::Usable;
        const QStringList read{"--port", "1", "read", "--clock", "1"};
        const QByteArray reply = hexBytes("BBB1") + kDefaultRecords;
        QTest::newRow("typed time") << QStringList{"set-time", "12:34:56"} << usable << QByteArray() << 0
                                    << "text 2024-03-05,2,12:34:56\nsent AA0024030502123456\n"
                                    << QString();
        QTest::newRow("read") << read << usable << reply << 0
                              << "sent BBA1\nreceived " + QString::fromLatin1(reply.toHex().toUpper()) +
                                     "\nRead success!\n" + QString::fromLatin1(kStartUpSettingsFile)
                              << QString();
        QTest::newRow("read unanswered") << read << usable << QByteArray() << 4 << "sent BBA1\n"
                                         << "No answer from the master clock to the read\n";
        QTest::newRow("read cut short")
            << read << usable << reply.left(4) << 5 << "sent BBA1\nreceived BBB10700\n"
            << "Writing Error 9:Subscript out of range: the master clock's answer held only 4 of its 50 "
               "bytes; "
               "nothing was changed\n";
        QTest::newRow("no usable port")
            << QStringList{"set-time"} << FakeSerialBank::Port::Missing << QByteArray() << 3 << QString()
            << "Writing Error 8018:Operation valid only when the port is open: "
               "choose a serial port first\n";
        QTest::newRow("port held by another program")
            << QStringList{"--port", "com1", "set-time"} << FakeSerialBank::Port::Busy << QByteArray() << 3
            << QString() << "8010: Com1 is in use by another program: minicom (pid 4242)\n";
    }

    void outcomes() {
        QFETCH(QStringList, arguments);
        QFETCH(FakeSerialBank::Port, port1);
        QFETCH(QByteArray, answer);
        QFETCH(int, status);

        FakeSerialBank bank;
        bank.setPort(1, port1);
        bank.responder = [&bank, answer](const QByteArray&) {
            if (!answer.isEmpty())
                QTimer::singleShot(0, [&bank, answer] { bank.receive(answer); });
        };
        FakeClock clock;
        FakeClockSetter setter;
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        ClockCli cli({&clock, &setter, bank.factory(), &bank, &outStream, &errStream});
        QCOMPARE(int(cli.run(arguments)), status);
        QTEST(out, "out");
        QTEST(err, "err");
    }

    // status and --require-sync for each state of the computer's clock; a
    // time frame arrives 1.4 s after the second it names began, by the fake clock.
    void computerClock_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<ComputerClockState>("state");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        const ComputerClockState synced{Sync::Synchronized, 11.2, 0.345, "adjtimex", {}};
        const ComputerClockState unsynced{Sync::Unsynchronized, 16000.0, 16000.0, "adjtimex", {}};
        const ComputerClockState unknown{
            Sync::Unknown, {}, {}, "GetSystemTimeAdjustmentPrecise", "adjustment off"};
        const QString syncedLine = "PC clock synchronized, max error 12 ms (adjtimex: max error 11.2 ms, "
                                   "estimated error 0.345 ms)\n";
        const QString unsyncedLine =
            "PC clock not synchronized (adjtimex: max error 16000 ms, estimated error 16000 ms)\n";
        const QString masterLine = "Master clock 09:07:46, offset +1409 ms (1 time frame)\n";
        const QByteArray frame = bytesOf({0xAA, 0x00, 0x24, 0x03, 0x05, 0x02, 0x09, 0x07, 0x46});
        QTest::newRow("status of both clocks") << QStringList{"--port", "1", "status", "--seconds", "1"}
                                               << unsynced << frame << 0 << unsyncedLine + masterLine << "";
        QTest::newRow("status without a time frame")
            << QStringList{"--port", "1", "status", "--seconds", "1"} << synced << QByteArray() << 4
            << syncedLine << "No time frame from the master clock in 1 s\n";
        QTest::newRow("status without a port, unknown, sync required")
            << QStringList{"--port", "2", "--json", "status", "--require-sync"} << unknown << QByteArray()
            << 3
            << R"({"command":"status","computerClock":{"detail":"adjustment off","estErrorMs":null,)"
               R"("maxErrorMs":null,"source":"GetSystemTimeAdjustmentPrecise","state":"unknown",)"
               R"("synchronized":null},"error":"8002: Com2 does not exist","exitStatus":3,"masterClock":null})"
               "\n"
            << "8002: Com2 does not exist\n";
        QTest::newRow("status with a frame, sync required")
            << QStringList{"--port", "1", "status", "--seconds", "1", "--require-sync"} << unknown << frame
            << 8 << "PC clock state unknown (GetSystemTimeAdjustmentPrecise: adjustment off)\n" + masterLine
            << "the computer's clock is not synchronized: its state is unknown; "
               "GetSystemTimeAdjustmentPrecise: adjustment off\n";
        QTest::newRow("set-time refused") << QStringList{"--port", "1", "set-time", "--require-sync"}
                                          << unsynced << QByteArray() << 8 << unsyncedLine
                                          << "the computer's clock is not synchronized: adjtimex: max error "
                                             "16000 ms, estimated error 16000 ms\n";
        QTest::newRow("set-time on a synchronized clock")
            << QStringList{"set-time", "12:34:56", "--require-sync"} << synced << QByteArray() << 0
            << syncedLine + "text 2024-03-05,2,12:34:56\nsent AA0024030502123456\n"
            << "";
    }
    void computerClock() {
        QFETCH(QStringList, arguments);
        QFETCH(ComputerClockState, state);
        QFETCH(QByteArray, frame);
        QFETCH(int, status);

        FakeSerialBank bank;
        bank.setPort(1, FakeSerialBank::Port::Usable);
        FakeClock clock;
        FakeClockSetter setter;
        FakeClockReader reader;
        reader.state = state;
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        ClockCli cli({&clock, &setter, bank.factory(), &bank, &outStream, &errStream, &reader});
        if (!frame.isEmpty())
            QTimer::singleShot(0, [&bank, frame] { bank.receive(frame); });
        QCOMPARE(int(cli.run(arguments)), status);
        QTEST(out, "out");
        QTEST(err, "err");
        // A refusal comes before the port is opened.
        if (status == 8 && arguments.contains("set-time"))
            QCOMPARE(bank.opens, QList<int>());
    }
};

QTEST_MAIN(TestClockCli)
#include "tst_clock_cli.moc"
