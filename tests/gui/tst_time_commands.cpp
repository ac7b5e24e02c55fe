// Set time, typed time and the temporary countdown: the exact bytes on the
// line and the texts on the window.
#include "Form1Harness.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {
const QString kClosedPortReport = QStringLiteral(
    "Writing Error 8018:Operation valid only when the port is open: choose a serial port first");
} // namespace

class TimeCommandsTest : public GuiTest {
    Q_OBJECT

private:
private slots:
    void computerTimeAfterBoundary_data() {
        QTest::addColumn<QDateTime>("pressed");
        QTest::addColumn<QString>("frameText");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("tuesday") << QDateTime(QDate(2024, 3, 5), QTime(9, 7, 44, 600))
                                 << "2024-03-05,2,09:07:45"
                                 << bytesOf({0xAA, 0x00, 0x24, 0x03, 0x05, 0x02, 0x09, 0x07, 0x45});
        QTest::newRow("sunday") << QDateTime(QDate(2024, 3, 3), QTime(18, 0, 0, 1)) << "2024-03-03,0,18:00:01"
                                << bytesOf({0xAA, 0x00, 0x24, 0x03, 0x03, 0x00, 0x18, 0x00, 0x01});
        QTest::newRow("saturday") << QDateTime(QDate(2024, 3, 9), QTime(12, 30, 58, 999))
                                  << "2024-03-09,6,12:30:59"
                                  << bytesOf({0xAA, 0x00, 0x24, 0x03, 0x09, 0x06, 0x12, 0x30, 0x59});
        QTest::newRow("year 2000") << QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0)) << "2000-01-01,6,00:00:01"
                                   << bytesOf({0xAA, 0x00, 0x00, 0x01, 0x01, 0x06, 0x00, 0x00, 0x01});
        QTest::newRow("year 2099") << QDateTime(QDate(2099, 12, 31), QTime(23, 0, 0))
                                   << "2099-12-31,4,23:00:01"
                                   << bytesOf({0xAA, 0x00, 0x99, 0x12, 0x31, 0x04, 0x23, 0x00, 0x01});
        QTest::newRow("midnight") << QDateTime(QDate(2024, 3, 5), QTime(23, 59, 59, 400))
                                  << "2024-03-06,3,00:00:00"
                                  << bytesOf({0xAA, 0x00, 0x24, 0x03, 0x06, 0x03, 0x00, 0x00, 0x00});
    }
    void computerTimeAfterBoundary() {
        QFETCH(QDateTime, pressed);
        QFETCH(QString, frameText);
        QFETCH(QByteArray, frame);
        Form1Harness h;
        h.startWithPort();
        h.clock.set(pressed);
        h.click(QStringLiteral("Command1"));
        QCOMPARE(h.serial.writes, QList<QByteArray>{frame});
        QCOMPARE(h.text(QStringLiteral("Label3")), frameText);
        QCOMPARE(h.text(QStringLiteral("Label2")), QString::fromLatin1(frame.toHex().toUpper()));
        QVERIFY(h.dialogs.messages().isEmpty());
    }

    void typedTime_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("frame");
        const QByteArray date = bytesOf({0xAA, 0x00, 0x24, 0x03, 0x05, 0x02});
        QTest::newRow("two-digit") << "12:34:56"
                                   << "12:34:56" << date + bytesOf({0x12, 0x34, 0x56});
        QTest::newRow("one-digit fields") << "9:7:5"
                                          << "09:07:05" << date + bytesOf({0x09, 0x07, 0x05});
        QTest::newRow("hours and minutes") << "9:5"
                                           << "09:05:00" << date + bytesOf({0x09, 0x05, 0x00});
        QTest::newRow("with a date") << "2023-12-31 23:59:58"
                                     << "23:59:58" << date + bytesOf({0x23, 0x59, 0x58});
        QTest::newRow("date alone") << "2023/1/2"
                                    << "00:00:00" << date + bytesOf({0x00, 0x00, 0x00});
    }
    void typedTime() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QByteArray, frame);
        Form1Harness h;
        h.startWithPort();
        h.clock.set(QDateTime(QDate(2024, 3, 5), QTime(16, 20, 11, 500)));
        h.find<QLineEdit>(QStringLiteral("Text1"))->setText(typed);
        h.click(QStringLiteral("Command2"));
        QCOMPARE(h.text(QStringLiteral("Text1")), shown);
        QCOMPARE(h.serial.writes, QList<QByteArray>{frame});
        QCOMPARE(h.text(QStringLiteral("Label3")), QStringLiteral("2024-03-05,2,") + shown);
        QCOMPARE(h.text(QStringLiteral("Label2")), QString::fromLatin1(frame.toHex().toUpper()));
    }

    void typedTimeThatDoesNotConvert_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("hour 25") << "25:00:00";
        QTest::newRow("letters") << "abc";
        QTest::newRow("empty") << "";
    }
    void typedTimeThatDoesNotConvert() {
        QFETCH(QString, typed);
        Form1Harness h;
        h.startWithPort();
        h.find<QLineEdit>(QStringLiteral("Text1"))->setText(typed);
        h.click(QStringLiteral("Command2"));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Writing Error 13:Type mismatch")});
        QCOMPARE(h.text(QStringLiteral("Text1")), typed);
        QCOMPARE(h.text(QStringLiteral("Label2")), QString());
        QCOMPARE(h.text(QStringLiteral("Label3")), QString());
        QVERIFY(h.serial.writes.isEmpty());
    }

    void closedPortReportsAfterLabels() {
        Form1Harness h;
        h.start();
        h.clock.set(QDateTime(QDate(2024, 3, 5), QTime(9, 7, 44, 600)));
        h.click(QStringLiteral("Command1"));
        QCOMPARE(h.dialogs.texts(), QStringList{kClosedPortReport});
        QCOMPARE(h.text(QStringLiteral("Label3")), QStringLiteral("2024-03-05,2,09:07:45"));
        QCOMPARE(h.text(QStringLiteral("Label2")), QStringLiteral("AA0024030502090745"));

        h.dialogs.takeTexts();
        h.click(QStringLiteral("Command2"));
        QCOMPARE(h.dialogs.texts(), QStringList{kClosedPortReport});
        QCOMPARE(h.text(QStringLiteral("Label3")), QStringLiteral("2024-03-05,2,12:34:56"));
    }

    void refusedWriteIsReported() {
        Form1Harness h;
        h.startWithPort();
        h.serial.refuseWrites = true;
        h.click(QStringLiteral("Command2"));
        QCOMPARE(h.dialogs.texts(),
                 QStringList{QStringLiteral("Writing Error 8021:Error writing to Com1: Input/output error")});
        QVERIFY(h.serial.writes.isEmpty());
    }

    void countdown_data() {
        QTest::addColumn<QString>("startText");
        QTest::addColumn<int>("clockIndex");
        QTest::addColumn<QTime>("pressed");
        QTest::addColumn<QString>("normalized");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("later today") << "10:00:00" << 0 << QTime(9, 15, 29, 500) << "10:00:00"
                                     << bytesOf({0xDD, 0xD1, 0x00, 0x44, 0x30});
        QTest::newRow("tomorrow on clock 2") << "10:00:00" << 1 << QTime(10, 29, 59, 10) << "10:00:00"
                                             << bytesOf({0xDD, 0xD2, 0x23, 0x30, 0x00});
        QTest::newRow("equal times") << "10:00:00" << 0 << QTime(9, 59, 59, 900) << "10:00:00"
                                     << bytesOf({0xDD, 0xD1, 0x00, 0x00, 0x00});
        QTest::newRow("short form") << "9:5" << 0 << QTime(8, 4, 59, 0) << "09:05:00"
                                    << bytesOf({0xDD, 0xD1, 0x01, 0x00, 0x00});
        QTest::newRow("with a date") << "2020-01-01 10:00:00" << 0 << QTime(9, 15, 29, 500) << "10:00:00"
                                     << bytesOf({0xDD, 0xD1, 0x00, 0x44, 0x30});
        QTest::newRow("empty means midnight")
            << "" << 0 << QTime(21, 59, 59, 0) << "00:00:00" << bytesOf({0xDD, 0xD1, 0x02, 0x00, 0x00});
        QTest::newRow("letters mean midnight")
            << "abc" << 0 << QTime(21, 59, 59, 0) << "00:00:00" << bytesOf({0xDD, 0xD1, 0x02, 0x00, 0x00});
    }
    void countdown() {
        QFETCH(QString, startText);
        QFETCH(int, clockIndex);
        QFETCH(QTime, pressed);
        QFETCH(QString, normalized);
        QFETCH(QByteArray, frame);
        Form1Harness h;
        h.startWithPort();
        h.find<QLabel>(QStringLiteral("Label3"))->setText(QStringLiteral("old"));
        h.find<QComboBox>(QStringLiteral("Combo2"))->setCurrentIndex(clockIndex);
        h.find<QLineEdit>(QStringLiteral("Text18"))->setText(startText);
        h.clock.set(QDateTime(QDate(2024, 3, 5), pressed));
        h.click(QStringLiteral("Command3"));
        QCOMPARE(h.text(QStringLiteral("Text18")), normalized);
        QCOMPARE(h.serial.writes, QList<QByteArray>{frame});
        QCOMPARE(h.text(QStringLiteral("Label2")), QString::fromLatin1(frame.toHex().toUpper()));
        QCOMPARE(h.text(QStringLiteral("Label3")), QString());
        QVERIFY(h.dialogs.messages().isEmpty());
    }

    void countdownWithoutClockChoice() {
        Form1Harness h;
        h.startWithPort();
        h.find<QComboBox>(QStringLiteral("Combo2"))->setEditText(QStringLiteral("倒计时钟9"));
        h.find<QLineEdit>(QStringLiteral("Text18"))->setText(QStringLiteral("9:5"));
        h.click(QStringLiteral("Command3"));
        QCOMPARE(h.dialogs.messages().size(), 1);
        QVERIFY(h.dialogs.messages()[0].text.startsWith(QStringLiteral("Writing Error 6:Overflow")));
        QCOMPARE(h.text(QStringLiteral("Text18")), QStringLiteral("09:05:00"));
        QCOMPARE(h.text(QStringLiteral("Label2")), QString());
        QVERIFY(h.serial.writes.isEmpty());
    }
};

QTEST_MAIN(TimeCommandsTest)
#include "tst_time_commands.moc"
