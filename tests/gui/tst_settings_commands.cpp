// Writing the schedule into the master clock and reading it back, against a
// fake far end that answers as the test says.
#include "Form1Harness.h"
#include "app/ScheduleCheckBox.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {
// A reply whose eight records differ from the defaults in every row.
const QByteArray kOtherRecords = hexBytes("731530410030 083000004500 200000013000 934500004500 "
                                          "0000004A0000 121212121212 5959594000A0 233000010000");
} // namespace

class SettingsCommandsTest : public GuiTest {
    Q_OBJECT

private:
    static void answerWith(Form1Harness& h, const QByteArray& answer) {
        h.serial.responder = [&h, answer](const QByteArray&) {
            h.serial.receive(answer);
        };
    }

private slots:
    void writeFrameOfTheFormDefaults() {
        Form1Harness h;
        h.startWithPort().show();
        answerWith(h, hexBytes("CCC1") + kDefaultRecords);
        h.click(QStringLiteral("Command7"));
        QCOMPARE(h.serial.writes, QList<QByteArray>{hexBytes("CCB1") + kDefaultRecords});
        QCOMPARE(h.text(QStringLiteral("Label2")),
                 QStringLiteral("CCB1 070000480000 073000003000 093000510000 103000003000"));
        QCOMPARE(h.text(QStringLiteral("Label3")),
                 QStringLiteral("113000003000 601500004500 540000410000 163000020000"));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Write success!")});
        QCOMPARE(h.dialogs.messages()[0].title, QStringLiteral("Varo_Clock"));
        // Row 4's grey box was sent as valid and comes back ticked.
        QCOMPARE(h.check(QStringLiteral("Check4"))->state(), CheckState::Ticked);
        QCOMPARE(h.box("2", 8)->text(), QStringLiteral("18:30:00"));
    }

    void writeForClockTwo() {
        Form1Harness h;
        h.startWithPort().show();
        h.find<QComboBox>(QStringLiteral("Combo2"))->setCurrentIndex(1);
        h.serial.responder = [&h](const QByteArray& frame) {
            h.serial.receive(hexBytes("CCC2") + frame.mid(2));
        };
        h.click(QStringLiteral("Command7"));
        QCOMPARE(h.serial.writes.value(0).left(2), hexBytes("CCB2"));
        QVERIFY(h.text(QStringLiteral("Label2")).startsWith(QStringLiteral("CCB2 ")));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Write success!")});
    }

    void writeEncodesFlagsAndNormalizesTexts_data() {
        QTest::addColumn<int>("valid");
        QTest::addColumn<int>("staticFlag");
        QTest::addColumn<int>("ignoreHours");
        QTest::addColumn<QString>("refresh");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QString>("shownRefresh");
        QTest::newRow("one-digit fields") << 1 << 0 << 0 << "7:05:03"
                                          << "0:30" << hexBytes("070503003000") << "07:05:03";
        QTest::newRow("last second") << 1 << 0 << 0 << "23:59:59"
                                     << "00:00:01" << hexBytes("235959000001") << "23:59:59";
        QTest::newRow("ignore hours") << 1 << 0 << 1 << "07:15:30"
                                      << "00:30:00" << hexBytes("331530003000") << "07:15:30";
        QTest::newRow("ignore hours, not valid") << 0 << 0 << 1 << "07:15:30"
                                                 << "00:30:00" << hexBytes("731530003000") << "07:15:30";
        QTest::newRow("not valid, static") << 0 << 1 << 0 << "20:15:00"
                                           << "01:00:00" << hexBytes("601500410000") << "20:15:00";
        QTest::newRow("grey ignore hours is not ticked")
            << 1 << 0 << 2 << "07:15:30"
            << "00:30:00" << hexBytes("071530003000") << "07:15:30";
        QTest::newRow("grey static is static") << 2 << 2 << 0 << "08:00:00"
                                               << "11:00:00" << hexBytes("080000510000") << "08:00:00";
    }
    void writeEncodesFlagsAndNormalizesTexts() {
        QFETCH(int, valid);
        QFETCH(int, staticFlag);
        QFETCH(int, ignoreHours);
        QFETCH(QString, refresh);
        QFETCH(QString, length);
        QFETCH(QByteArray, record);
        QFETCH(QString, shownRefresh);
        Form1Harness h;
        h.startWithPort().show();
        h.check(QStringLiteral("Check2"))->setState(CheckState(valid));
        h.check(QStringLiteral("Check12"))->setState(CheckState(staticFlag));
        h.check(QStringLiteral("Check42"))->setState(CheckState(ignoreHours));
        h.box("4", 2)->setText(refresh);
        h.box("3", 2)->setText(length);
        h.serial.responder = [&h](const QByteArray& frame) {
            h.serial.receive(hexBytes("CCC1") + frame.mid(2));
        };
        h.click(QStringLiteral("Command7"));
        QCOMPARE(h.serial.writes.value(0).mid(8, 6).toHex(), record.toHex());
        // What the master clock echoes is what the row shows afterwards.
        const bool echoedIgnoreHours = ignoreHours == 1;
        QCOMPARE(h.box("4", 2)->text(),
                 echoedIgnoreHours ? QStringLiteral("00:") + shownRefresh.mid(3) : shownRefresh);
        QCOMPARE(h.check(QStringLiteral("Check42"))->state(),
                 echoedIgnoreHours ? CheckState::Ticked : CheckState::Clear);
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Write success!")});
    }

    void emptyLengthStopsBeforeSending() {
        Form1Harness h;
        h.startWithPort().show();
        h.box("3", 2)->setText(QStringLiteral("0:30"));
        h.box("3", 5)->clear();
        h.click(QStringLiteral("Command7"));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Writing Error 13:Type mismatch")});
        QVERIFY(h.serial.writes.isEmpty());
        QCOMPARE(h.box("3", 2)->text(), QStringLiteral("00:30:00"));
        QCOMPARE(h.box("4", 5)->text(), QStringLiteral("11:30:00"));
        QCOMPARE(h.text(QStringLiteral("Label2")), QString());
        QVERIFY(h.find(QStringLiteral("Command7"))->isEnabled());
    }

    void replyForTheOtherClockSelectsIt() {
        Form1Harness h;
        h.startWithPort().show();
        answerWith(h, hexBytes("CCC2") + kOtherRecords);
        h.click(QStringLiteral("Command7"));
        QCOMPARE(h.find<QComboBox>(QStringLiteral("Combo2"))->currentIndex(), 1);
        QCOMPARE(h.box("4", 1)->text(), QStringLiteral("00:15:30"));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Write success!")});
    }

    void foreignAnswerEndsSilently_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("settings reply to a write") << "Command7" << hexBytes("BBB1") + kOtherRecords;
        QTest::newRow("clock 3 to a write") << "Command7" << hexBytes("CCC3") + kOtherRecords;
        QTest::newRow("write reply to a read") << "Command6" << hexBytes("CCC1") + kOtherRecords;
        QTest::newRow("read request echoed") << "Command6" << hexBytes("BBA1") + kOtherRecords;
    }
    void foreignAnswerEndsSilently() {
        QFETCH(QString, button);
        QFETCH(QByteArray, answer);
        Form1Harness h;
        h.startWithPort().show();
        const QStringList before = h.rowsShown();
        answerWith(h, answer);
        h.click(button);
        QCOMPARE(h.rowsShown(), before);
        QCOMPARE(h.find<QComboBox>(QStringLiteral("Combo2"))->currentIndex(), 0);
        QVERIFY(h.dialogs.messages().isEmpty());
        QVERIFY(!h.text(QStringLiteral("Label2")).isEmpty());
    }

    void noAnswerEndsSilentlyAfterTwoToThreeSeconds() {
        Form1Harness h;
        h.startWithPort().show();
        const QStringList before = h.rowsShown();
        QElapsedTimer elapsed;
        elapsed.start();
        h.click(QStringLiteral("Command6"));
        QVERIFY2(elapsed.elapsed() >= 2000 && elapsed.elapsed() <= 3200,
                 qPrintable(QString::number(elapsed.elapsed())));
        QCOMPARE(h.rowsShown(), before);
        QVERIFY(h.dialogs.messages().isEmpty());
        QCOMPARE(h.text(QStringLiteral("Label2")), QStringLiteral("BBA1"));
    }

    void shortAnswerChangesNothing() {
        Form1Harness h;
        h.startWithPort().show();
        const QStringList before = h.rowsShown();
        answerWith(h, (hexBytes("BBB2") + kOtherRecords).left(20));
        h.click(QStringLiteral("Command6"));
        QCOMPARE(h.dialogs.texts(),
                 QStringList{
                     QStringLiteral("Writing Error 9:Subscript out of range: the master clock's answer held "
                                    "only 20 of its 50 bytes; nothing was changed")});
        QCOMPARE(h.rowsShown(), before);
        QCOMPARE(h.find<QComboBox>(QStringLiteral("Combo2"))->currentIndex(), 0);
    }

    void readRequestAndReplyDecoding() {
        Form1Harness h;
        h.startWithPort().show();
        h.find<QComboBox>(QStringLiteral("Combo2"))->setCurrentIndex(1);
        // More than 50 bytes: the rest is ignored.
        answerWith(h, hexBytes("BBB2") + kOtherRecords + hexBytes("FFFF"));
        h.click(QStringLiteral("Command6"));
        QCOMPARE(h.serial.writes, QList<QByteArray>{hexBytes("BBA2")});
        QCOMPARE(h.text(QStringLiteral("Label2")), QStringLiteral("BBA2"));
        QCOMPARE(h.text(QStringLiteral("Label3")), QString());
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Read success!")});
        QCOMPARE(h.rowsShown(), (QStringList{
                                    // valid, start, length, refresh, static, ignore hours, length visible
                                    "0 01:00:30 01:00:30 00:15:30 1 1 0",
                                    "1 09:15:00 00:45:00 08:30:00 0 0 1",
                                    "1 21:30:00 01:30:00 20:00:00 0 0 1",
                                    "1 14:30:00 00:45:00 13:45:00 0 0 1",
                                    "1 0A:00:00 0A:00:00 00:00:00 1 0 0",
                                    "1 00:24:24 12:12:12 12:12:12 0 0 1",
                                    "0 00:00:A0 00:00:A0 19:59:59 1 0 0",
                                    "1 00:30:00 01:00:00 23:30:00 0 0 1",
                                }));
    }

    void nonTimeInANormalRowFailsTheDerivation() {
        Form1Harness h;
        h.startWithPort().show();
        answerWith(h, hexBytes("BBB1") + hexBytes("1A0000003000") + kOtherRecords.mid(6));
        h.click(QStringLiteral("Command6"));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Writing Error 13:Type mismatch")});
        QCOMPARE(h.box("4", 1)->text(), QStringLiteral("1A:00:00"));
    }

    void answerInPieces_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QString>("message");
        const QByteArray reply = hexBytes("BBB1") + kOtherRecords;
        const QByteArray writeReply = hexBytes("CCC1") + kOtherRecords;
        // The master clock's own time frame, which it may send at any moment.
        const QByteArray timeFrame = hexBytes("AA0026120600123456");
        QTest::newRow("three pieces")
            << "Command6" << QList<QByteArray>{reply.left(7), reply.mid(7, 20), reply.mid(27)}
            << "Read success!";
        QTest::newRow("time frame ahead of a reply")
            << "Command6" << QList<QByteArray>{timeFrame, reply} << "Read success!";
        QTest::newRow("two time frames ahead of a write reply")
            << "Command7" << QList<QByteArray>{timeFrame + timeFrame, writeReply} << "Write success!";
        QTest::newRow("time frame in pieces, then the reply")
            << "Command6"
            << QList<QByteArray>{timeFrame.left(1), timeFrame.mid(1, 4), timeFrame.mid(5) + reply.left(3),
                                 reply.mid(3)}
            << "Read success!";
    }
    void answerInPieces() {
        QFETCH(QString, button);
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QString, message);
        Form1Harness h;
        h.startWithPort().show();
        h.serial.responder = [&h, pieces](const QByteArray&) {
            for (int i = 0; i < pieces.size(); ++i)
                QTimer::singleShot(30 * i, [&h, piece = pieces[i]] { h.serial.receive(piece); });
        };
        QElapsedTimer elapsed;
        elapsed.start();
        h.click(button);
        QCOMPARE(h.dialogs.texts(), QStringList{message});
        QVERIFY(elapsed.elapsed() < 1000);
        QCOMPARE(h.box("4", 2)->text(), QStringLiteral("08:30:00"));
    }

    void otherCommandsAreRefusedDuringTheWait() {
        Form1Harness h;
        h.startWithPort().show();
        QStringList enabledDuringWait;
        const QByteArray answer = hexBytes("BBB1") + kDefaultRecords;
        h.serial.responder = [&](const QByteArray&) {
            QTimer::singleShot(50, [&] {
                for (const char* name :
                     {"Command1", "Command2", "Command3", "Command4", "Command5", "Command6", "Command7",
                      "Command8", "Command9", "Command10", "Combo1"})
                    if (h.find(QLatin1String(name))->isEnabled())
                        enabledDuringWait << QLatin1String(name);
                if (h.find<QMenu>(QStringLiteral("Baud"))->menuAction()->isEnabled())
                    enabledDuringWait << QStringLiteral("Baud");
                if (!QApplication::overrideCursor() ||
                    QApplication::overrideCursor()->shape() != Qt::WaitCursor)
                    enabledDuringWait << QStringLiteral("no wait cursor");
                // A click that gets through anyway starts nothing.
                h.find<QPushButton>(QStringLiteral("Command7"))->click();
                h.serial.receive(answer);
            });
        };
        h.click(QStringLiteral("Command6"));
        QCOMPARE(enabledDuringWait, QStringList());
        QCOMPARE(h.serial.writes.size(), 1);
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Read success!")});
        QVERIFY(h.find(QStringLiteral("Command7"))->isEnabled());
        QVERIFY(h.find(QStringLiteral("Combo1"))->isEnabled());
    }

    void deviceLostWhileIdle() {
        Form1Harness h;
        h.startWithPort(5).show();
        auto* combo = h.find<QComboBox>(QStringLiteral("Combo1"));
        QCOMPARE(combo->currentText(), QStringLiteral("Com5"));
        h.serial.loseDevice(QStringLiteral("Com5 (/dev/ttyUSB0) stopped working"));
        QTRY_COMPARE(combo->currentIndex(), -1);
        QVERIFY(combo->currentText() != QStringLiteral("Com5"));
        QCOMPARE(h.serial.openPort(), 0);
        QVERIFY(h.dialogs.messages().isEmpty());
        // The next command names the lost device.
        h.click(QStringLiteral("Command6"));
        QCOMPARE(h.dialogs.texts(),
                 QStringList{QStringLiteral("Writing Error 8022:Com5 (/dev/ttyUSB0) stopped working")});
        QVERIFY(h.serial.writes.isEmpty());
    }

    void deviceLostDuringTheWait() {
        Form1Harness h;
        h.startWithPort().show();
        h.serial.responder = [&h](const QByteArray&) {
            QTimer::singleShot(
                20, [&h] { h.serial.loseDevice(QStringLiteral("Com1 (/dev/ttyUSB0) stopped working")); });
        };
        h.click(QStringLiteral("Command6"));
        QCOMPARE(h.dialogs.texts(),
                 QStringList{QStringLiteral("Writing Error 8022:Com1 (/dev/ttyUSB0) stopped working")});
        QCOMPARE(h.serial.openPort(), 0);
        QVERIFY(h.find(QStringLiteral("Command6"))->isEnabled());
        QCOMPARE(h.find<QComboBox>(QStringLiteral("Combo1"))->currentIndex(), -1);
        // "Search" finds the port again once it is back.
        auto* combo = h.find<QComboBox>(QStringLiteral("Combo1"));
        combo->setCurrentIndex(combo->findText(QStringLiteral("Search")));
        emit combo->activated(combo->currentIndex());
        QCOMPARE(h.serial.openPort(), 1);
    }
};

QTEST_MAIN(SettingsCommandsTest)
#include "tst_settings_commands.moc"
