// The command line on fake serial ports: what it prints and the exit status
// of each way a command ends.
#include "FakeClock.h"
#include "FakeClockSetter.h"
#include "FakeSerial.h"
#include "KnownBytes.h"
#include "commandline/ClockCli.h"

#include <QtTest>

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
};

QTEST_MAIN(TestClockCli)
#include "tst_clock_cli.moc"
