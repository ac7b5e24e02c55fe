// Setting the computer's clock from the master clock's time frame, and the
// simulated GPS receiver: what the window waits for, what it sets, sends and
// shows.
#include "Form1Harness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {
// The master clock's own time frame for 2024-03-05, a Tuesday, the fake
// clock's date, at hh:mm:ss (packed BCD, as the master clock sends it).
QByteArray timeFrame(int hh, int mm, int ss) {
    return bytesOf({0xAA, 0x00, 0x24, 0x03, 0x05, 0x02, hh, mm, ss});
}

const QString kSuccess = QStringLiteral("Synchronize success!");
const QString kClosedPortReport = QStringLiteral(
    "Writing Error 8018:Operation valid only when the port is open: choose a serial port first");
const QString kTypeMismatch = QStringLiteral("Writing Error 13:Type mismatch");

// Everything the operator could start while a command runs.
QList<bool> controlsEnabled(const Form1Harness& h) {
    QList<bool> enabled;
    for (int i = 1; i <= 10; ++i)
        enabled << h.find<QPushButton>(QStringLiteral("Command%1").arg(i))->isEnabled();
    enabled << h.find<QComboBox>(QStringLiteral("Combo1"))->isEnabled();
    enabled << h.find<QMenu>(QStringLiteral("Baud"))->menuAction()->isEnabled();
    return enabled;
}
const QList<bool> kAllEnabled(12, true);
const QList<bool> kAllDisabled(12, false);
} // namespace

class SyncGpsTest : public GuiTest {
    Q_OBJECT

private:
    static void startWithPort(Form1Harness& h) {
        h.startWithPort();
        h.find<QLabel>(QStringLiteral("Label2"))->setText(QStringLiteral("old frame"));
        h.find<QLabel>(QStringLiteral("Label3"))->setText(QStringLiteral("old text"));
    }

    // Presses "电脑同步于母钟" and lets the master clock deliver `parts` one
    // after another while the command waits. Returns how long the command ran.
    static qint64 syncWhileClockSends(Form1Harness& h, const QList<QByteArray>& parts) {
        for (int i = 0; i < parts.size(); ++i)
            QTimer::singleShot(20 + 100 * i, h.window.get(),
                               [&h, part = parts[i]] { h.serial.receive(part); });
        QElapsedTimer elapsed;
        elapsed.start();
        h.click(QStringLiteral("Command8"));
        return elapsed.elapsed();
    }

private slots:
    void frameSetsComputerClock_data() {
        QTest::addColumn<QList<QByteArray>>("parts");
        QTest::addColumn<QTime>("expected");
        QTest::newRow("afternoon") << QList<QByteArray>{timeFrame(0x12, 0x34, 0x56)} << QTime(12, 34, 56);
        QTest::newRow("midnight") << QList<QByteArray>{timeFrame(0x00, 0x00, 0x00)} << QTime(0, 0, 0);
        QTest::newRow("last second of the day")
            << QList<QByteArray>{timeFrame(0x23, 0x59, 0x59)} << QTime(23, 59, 59);
        QTest::newRow("single-digit fields")
            << QList<QByteArray>{timeFrame(0x09, 0x05, 0x07)} << QTime(9, 5, 7);
        const QByteArray frame = timeFrame(0x12, 0x34, 0x56);
        QTest::newRow("five then four bytes")
            << QList<QByteArray>{frame.left(5), frame.mid(5)} << QTime(12, 34, 56);
        QTest::newRow("byte by byte") << QList<QByteArray>{frame.left(1),   frame.mid(1, 1), frame.mid(2, 1),
                                                           frame.mid(3, 1), frame.mid(4, 1), frame.mid(5, 1),
                                                           frame.mid(6, 1), frame.mid(7, 1), frame.mid(8, 1)}
                                      << QTime(12, 34, 56);
    }
    void frameSetsComputerClock() {
        QFETCH(QList<QByteArray>, parts);
        QFETCH(QTime, expected);
        Form1Harness h;
        startWithPort(h);
        h.clock.set(QDateTime(h.clock.now().date(), expected).addMSecs(300));
        const qint64 ms = syncWhileClockSends(h, parts);
        // The frame's second and its 9 bytes' time on the line at 9600 baud
        // (9.375 ms), against the computer's clock 300 ms into that second.
        QCOMPARE(h.clockSetter.offsetsUs, QList<qint64>{9'375 - 300'000});
        QCOMPARE(h.clockSetter.underWaitCursor, QList<bool>{true});
        QCOMPARE(h.dialogs.texts(), QStringList{kSuccess});
        QCOMPARE(h.dialogs.messages()[0].title, QStringLiteral("Varo_Clock"));
        QCOMPARE(h.dialogs.messages()[0].icon, Dialogs::Icon::None);
        QCOMPARE(h.text(QStringLiteral("Label2")), QString());
        QCOMPARE(h.text(QStringLiteral("Label3")), QString());
        QVERIFY(h.serial.writes.isEmpty());
        // The command goes on as soon as the ninth byte is there.
        QVERIFY2(ms < 3000, qPrintable(QStringLiteral("took %1 ms").arg(ms)));
        QCOMPARE(controlsEnabled(h), kAllEnabled);
    }

    void misshapenOrForeignFrameEndsSilently_data() {
        QTest::addColumn<QList<QByteArray>>("parts");
        QTest::newRow("frame and a stray byte")
            << QList<QByteArray>{timeFrame(0x12, 0x34, 0x56) + bytesOf({0x00})};
        QTest::newRow("byte 1 is 0x01")
            << QList<QByteArray>{bytesOf({0xAA, 0x01, 0x26, 0x12, 0x06, 0x00, 0x12, 0x34, 0x56})};
        QTest::newRow("byte 0 is 0xBB")
            << QList<QByteArray>{bytesOf({0xBB, 0x00, 0x26, 0x12, 0x06, 0x00, 0x12, 0x34, 0x56})};
        QTest::newRow("settings reply") << QList<QByteArray>{bytesOf({0xBB, 0xB1}) + QByteArray(48, '\0')};
    }
    void misshapenOrForeignFrameEndsSilently() {
        QFETCH(QList<QByteArray>, parts);
        Form1Harness h;
        startWithPort(h);
        const qint64 ms = syncWhileClockSends(h, parts);
        QVERIFY(h.clockSetter.offsetsUs.isEmpty());
        QCOMPARE(h.dialogs.texts(), QStringList());
        QCOMPARE(h.text(QStringLiteral("Label2")), QString());
        QCOMPARE(h.text(QStringLiteral("Label3")), QString());
        QVERIFY2(ms < 3000, qPrintable(QStringLiteral("took %1 ms").arg(ms)));
        QCOMPARE(controlsEnabled(h), kAllEnabled);
    }

    // The computer's clock at 05:00:00.010; a step over a minute is the operator's to allow.
    void largeStepIsAsked_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QList<bool>>("answers"); // true: Yes
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<qint64>>("offsetsUs");
        const QString question = QStringLiteral("The computer's clock would move by %1. Set it?");
        QTest::newRow("a minute, unasked") << timeFrame(0x05, 0x01, 0x00) << QList<bool>()
                                           << QStringList{kSuccess} << QList<qint64>{59'999'375};
        QTest::newRow("hours ahead, Yes")
            << timeFrame(0x12, 0x36, 0x12) << QList<bool>{true}
            << QStringList{question.arg("+7 h 36 min 12 s"), kSuccess} << QList<qint64>{27'371'999'375};
        QTest::newRow("hours behind, No") << timeFrame(0x01, 0x00, 0x00) << QList<bool>{false}
                                          << QStringList{question.arg("-4 h 0 min 0 s")} << QList<qint64>();
    }
    void largeStepIsAsked() {
        QFETCH(QByteArray, frame);
        QFETCH(QList<bool>, answers);
        Form1Harness h;
        startWithPort(h);
        h.clock.set(QDateTime(h.clock.now().date(), QTime(5, 0, 0, 10)));
        h.dialogs.nextAnswers = answers;
        syncWhileClockSends(h, {frame});
        QTEST(h.dialogs.texts(), "messages");
        QTEST(h.clockSetter.offsetsUs, "offsetsUs");
        QCOMPARE(controlsEnabled(h), kAllEnabled);
    }

    // A frame the setter cannot take (Windows' time and another day) is
    // passed over for the next one.
    void frameTheSetterCannotTakeIsPassedOver() {
        Form1Harness h;
        startWithPort(h);
        h.clockSetter.cannotTake = [](qint64 offsetUs) {
            return offsetUs > 0;
        };
        syncWhileClockSends(h, {timeFrame(0x09, 0x07, 0x45), timeFrame(0x09, 0x07, 0x44)});
        QCOMPARE(h.clockSetter.offsetsUs, QList<qint64>{-590'625});
        QCOMPARE(h.dialogs.texts(), QStringList{kSuccess});
    }

    void frameThatIsNotATimeIsReported_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("hour 25") << timeFrame(0x25, 0x34, 0x56);
        QTest::newRow("hour 24") << timeFrame(0x24, 0x00, 0x00);
        QTest::newRow("minute 61") << timeFrame(0x12, 0x61, 0x56);
        QTest::newRow("second 60") << timeFrame(0x12, 0x34, 0x60);
        QTest::newRow("hex digit in the hour") << timeFrame(0x1A, 0x34, 0x56);
        QTest::newRow("hex digits in the seconds") << timeFrame(0x12, 0x34, 0xFF);
    }
    void frameThatIsNotATimeIsReported() {
        QFETCH(QByteArray, frame);
        Form1Harness h;
        startWithPort(h);
        syncWhileClockSends(h, {frame});
        QCOMPARE(h.dialogs.texts(), QStringList{kTypeMismatch});
        QVERIFY(h.clockSetter.offsetsUs.isEmpty());
        QCOMPARE(h.text(QStringLiteral("Label2")), QString());
        QCOMPARE(h.text(QStringLiteral("Label3")), QString());
        QCOMPARE(controlsEnabled(h), kAllEnabled);
    }

    void setterFailureIsReported() {
        Form1Harness h;
        startWithPort(h);
        h.clockSetter.nextResult = RuntimeError(
            ErrorNumber::PermissionDenied, QStringLiteral("date: cannot set date: Operation not permitted"));
        syncWhileClockSends(h, {timeFrame(0x09, 0x07, 0x45)});
        QCOMPARE(h.clockSetter.offsetsUs, QList<qint64>{409'375});
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral(
                                        "Writing Error 70:date: cannot set date: Operation not permitted")});
        QCOMPARE(controlsEnabled(h), kAllEnabled);
    }

    void closedPortIsReported() {
        Form1Harness h;
        h.start();
        h.find<QLabel>(QStringLiteral("Label2"))->setText(QStringLiteral("old frame"));
        h.find<QLabel>(QStringLiteral("Label3"))->setText(QStringLiteral("old text"));
        h.click(QStringLiteral("Command8"));
        QCOMPARE(h.dialogs.texts(), QStringList{kClosedPortReport});
        QVERIFY(h.clockSetter.offsetsUs.isEmpty());
        QCOMPARE(h.text(QStringLiteral("Label2")), QString());
        QCOMPARE(h.text(QStringLiteral("Label3")), QString());
        QCOMPARE(controlsEnabled(h), kAllEnabled);
    }

    void lineLostDuringWaitIsReported() {
        Form1Harness h;
        startWithPort(h);
        QTimer::singleShot(20, h.window.get(),
                           [&h] { h.serial.loseDevice(QStringLiteral("Com1 was unplugged")); });
        QElapsedTimer elapsed;
        elapsed.start();
        h.click(QStringLiteral("Command8"));
        QVERIFY2(elapsed.elapsed() < 3000, qPrintable(QStringLiteral("took %1 ms").arg(elapsed.elapsed())));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Writing Error 8022:Com1 was unplugged")});
        QVERIFY(h.clockSetter.offsetsUs.isEmpty());
        QCOMPARE(controlsEnabled(h), kAllEnabled);
    }

    // The next two cases each wait out the whole limit of three to four seconds.
    void staleFrameIsDiscarded() {
        Form1Harness h;
        startWithPort(h);
        h.serial.receive(timeFrame(0x12, 0x34, 0x56));
        // Posted after the device's own notice of the new bytes, so it runs
        // once the window has heard of them.
        bool heard = false;
        QTimer::singleShot(0, h.window.get(), [&heard] { heard = true; });
        QTRY_VERIFY(heard);

        const qint64 ms = syncWhileClockSends(h, {});
        QVERIFY(h.clockSetter.offsetsUs.isEmpty());
        QCOMPARE(h.dialogs.texts(), QStringList());
        QVERIFY2(ms >= 3000 && ms <= 4200, qPrintable(QStringLiteral("took %1 ms").arg(ms)));
    }

    void incompleteFrameEndsSilentlyAfterLimit_data() {
        QTest::addColumn<QList<QByteArray>>("parts");
        QTest::newRow("nothing arrives") << QList<QByteArray>{};
        QTest::newRow("eight bytes arrive") << QList<QByteArray>{timeFrame(0x12, 0x34, 0x56).left(8)};
    }
    void incompleteFrameEndsSilentlyAfterLimit() {
        QFETCH(QList<QByteArray>, parts);
        Form1Harness h;
        startWithPort(h);
        QCOMPARE(controlsEnabled(h), kAllEnabled);
        const QString liveClockBefore = h.text(QStringLiteral("Label1"));
        const QDateTime movedTo(QDate(2024, 3, 5), QTime(10, 11, 12));
        QVERIFY(liveClockBefore != QStringLiteral("10:11:12"));

        // Looks at the window from inside the wait: the live clock keeps
        // ticking and nothing else can be started.
        QTimer::singleShot(300, h.window.get(), [&h, movedTo] { h.clock.set(movedTo); });
        QString liveClockDuringWait;
        QList<bool> enabledDuringWait;
        QTimer::singleShot(2500, h.window.get(), [&] {
            liveClockDuringWait = h.text(QStringLiteral("Label1"));
            enabledDuringWait = controlsEnabled(h);
        });

        const qint64 ms = syncWhileClockSends(h, parts);
        QVERIFY2(ms >= 3000 && ms <= 4200, qPrintable(QStringLiteral("took %1 ms").arg(ms)));
        QVERIFY(h.clockSetter.offsetsUs.isEmpty());
        QCOMPARE(h.dialogs.texts(), QStringList());
        QCOMPARE(h.text(QStringLiteral("Label2")), QString());
        QCOMPARE(h.text(QStringLiteral("Label3")), QString());
        QCOMPARE(liveClockDuringWait, QStringLiteral("10:11:12"));
        QCOMPARE(enabledDuringWait, kAllDisabled);
        QCOMPARE(controlsEnabled(h), kAllEnabled);
    }

    void simulatedRmc_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QDateTime>("pressed");
        QTest::addColumn<QByteArray>("sentence");
        QTest::addColumn<QString>("checksum");
        const QDateTime beforeBoundary(QDate(2026, 12, 6), QTime(12, 34, 55, 700));
        QTest::newRow("fix valid") << "Command9" << beforeBoundary
                                   << QByteArray("$GPRMC,123456.123,A,3114.1296,N,12128.0253,E,000.0,000.0,"
                                                 "061226,,*02\r\n")
                                   << "02";
        QTest::newRow("fix not valid")
            << "Command10" << beforeBoundary
            << QByteArray("$GPRMC,123456.123,V,3114.1296,N,12128.0253,E,000.0,000.0,"
                          "061226,,*15\r\n")
            << "15";
        QTest::newRow("new year") << "Command9" << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 500))
                                  << QByteArray("$GPRMC,000000.123,A,3114.1296,N,12128.0253,E,000.0,000.0,"
                                                "010127,,*01\r\n")
                                  << "01";
        QTest::newRow("hex letter in checksum")
            << "Command9" << QDateTime(QDate(2026, 12, 6), QTime(12, 34, 57, 0))
            << QByteArray("$GPRMC,123458.123,A,3114.1296,N,12128.0253,E,000.0,000.0,061226,,*0C\r\n") << "0C";
    }
    void simulatedRmc() {
        QFETCH(QString, button);
        QFETCH(QDateTime, pressed);
        QFETCH(QByteArray, sentence);
        QFETCH(QString, checksum);
        Form1Harness h;
        startWithPort(h);
        h.clock.set(pressed);
        h.click(button);
        QCOMPARE(sentence.size(), 70);
        QCOMPARE(h.serial.writes, QList<QByteArray>{sentence});
        // The window shows the sentence with its placeholders.
        QCOMPARE(h.text(QStringLiteral("Label2")), QString::fromLatin1(sentence.left(66)) + "??\r\n");
        QCOMPARE(h.text(QStringLiteral("Label3")), QStringLiteral("Checksum = ") + checksum);
        QCOMPARE(h.dialogs.texts(), QStringList());
        QCOMPARE(controlsEnabled(h), kAllEnabled);
    }

    void simulatedRmcWithClosedPort_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("checksumLine");
        QTest::newRow("fix valid")
            << "Command9"
            << "$GPRMC,123456.123,A,3114.1296,N,12128.0253,E,000.0,000.0,061226,,*??\r\n"
            << "Checksum = 02";
        QTest::newRow("fix not valid")
            << "Command10"
            << "$GPRMC,123456.123,V,3114.1296,N,12128.0253,E,000.0,000.0,061226,,*??\r\n"
            << "Checksum = 15";
    }
    void simulatedRmcWithClosedPort() {
        QFETCH(QString, button);
        QFETCH(QString, shown);
        QFETCH(QString, checksumLine);
        Form1Harness h;
        h.start();
        h.clock.set(QDateTime(QDate(2026, 12, 6), QTime(12, 34, 55, 700)));
        h.click(button);
        QCOMPARE(h.dialogs.texts(), QStringList{kClosedPortReport});
        QVERIFY(h.serial.writes.isEmpty());
        QCOMPARE(h.text(QStringLiteral("Label2")), shown);
        QCOMPARE(h.text(QStringLiteral("Label3")), checksumLine);
        QCOMPARE(controlsEnabled(h), kAllEnabled);
    }

    // "每秒发送": each boundary's own sentence, the window idle in between.
    void gpsStreamSendsEverySecond() {
        Form1Harness h;
        startWithPort(h);
        h.clock.set(QDateTime(QDate(2026, 12, 6), QTime(12, 34, 55, 700)));
        h.find<QCheckBox>(QStringLiteral("CheckEverySecond"))->setChecked(true);
        h.click(QStringLiteral("Command10"));
        QVERIFY(h.serial.writes.isEmpty());
        QCOMPARE(controlsEnabled(h), kAllEnabled);
        QTRY_COMPARE_WITH_TIMEOUT(h.serial.writes.size(), 2, 3000);
        QCOMPARE(
            h.serial.writes,
            (QList<QByteArray>{"$GPRMC,123456.123,V,3114.1296,N,12128.0253,E,000.0,000.0,061226,,*15\r\n",
                               "$GPRMC,123457.123,V,3114.1296,N,12128.0253,E,000.0,000.0,061226,,*14\r\n"}));
        QCOMPARE(h.text(QStringLiteral("Label2")),
                 QStringLiteral("$GPRMC,123457.123,V,3114.1296,N,12128.0253,E,000.0,000.0,061226,,*??\r\n"));
        QCOMPARE(h.text(QStringLiteral("Label3")), QStringLiteral("Checksum = 14"));
        h.find<QCheckBox>(QStringLiteral("CheckEverySecond"))->setChecked(false);
        QCOMPARE(h.dialogs.texts(), QStringList());
    }

    // A stream that ends of itself clears "每秒发送" and says why; one the
    // operator stops leaves the box as he set it.
    void gpsStreamEnds_data() {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("status");
        QTest::newRow("another command")
            << "Command3" << false << "每秒发送 stopped: another command took the line";
        QTest::newRow("line speed") << "B19200" << false << "每秒发送 stopped: the line speed changed";
        QTest::newRow("device lost") << "lose" << false << "每秒发送 stopped: the port closed";
        QTest::newRow("pressed again") << "Command9" << true << "";
    }
    void gpsStreamEnds() {
        QFETCH(QString, cause);
        Form1Harness h;
        startWithPort(h);
        auto* everySecond = h.find<QCheckBox>(QStringLiteral("CheckEverySecond"));
        everySecond->setChecked(true);
        h.click(QStringLiteral("Command9"));
        QTRY_COMPARE_WITH_TIMEOUT(h.serial.writes.size(), 1, 3000);
        if (cause == QLatin1String("lose"))
            h.serial.loseDevice(QStringLiteral("Com1 stopped working"));
        else if (cause.startsWith(QLatin1Char('B')))
            h.trigger(cause);
        else
            h.click(cause);
        QFETCH(bool, ticked);
        QTRY_COMPARE(everySecond->isChecked(), ticked);
        auto* status = h.find<QLabel>(QStringLiteral("GpsStreamStatus"));
        QTEST(status->isHidden() ? QString() : status->text(), "status");
    }

    void gpsStreamWithClosedPort() {
        Form1Harness h;
        h.start();
        h.find<QCheckBox>(QStringLiteral("CheckEverySecond"))->setChecked(true);
        h.click(QStringLiteral("Command9"));
        QTRY_COMPARE_WITH_TIMEOUT(h.dialogs.texts(), QStringList{kClosedPortReport}, 3000);
        QVERIFY(h.serial.writes.isEmpty());
    }
};

QTEST_MAIN(SyncGpsTest)
#include "tst_sync_gps.moc"
