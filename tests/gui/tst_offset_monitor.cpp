// The master clock's offset, read from its own time frames between commands.
#include "Form1Harness.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>

namespace {
// The master clock's time frame for March `day` (BCD) 2024 at hh:mm:ss; the
// 5th is a Tuesday.
QByteArray timeFrame(int hh, int mm, int ss, int day = 0x05) {
    return bytesOf({0xAA, 0x00, 0x24, 0x03, day, day - 3, hh, mm, ss});
}

const QString kOffset = QStringLiteral("ClockOffset");
} // namespace

class OffsetMonitorTest : public GuiTest {
    Q_OBJECT

private slots:
    void offsetShown_data() {
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QTime>("arrival"); // by the computer's clock
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QString>("shown");
        const QByteArray frame = timeFrame(0x09, 0x07, 0x46);
        // 9 bytes of 10 bits take 9 ms at 9600 baud, 19 ms at 4800 and 2 ms at 38400.
        QTest::newRow("ahead") << "B9600" << QTime(9, 7, 44, 600) << QList<QByteArray>{frame}
                               << "Master clock 09:07:46, offset +1.4 s";
        QTest::newRow("behind") << "B9600" << QTime(9, 7, 48, 300) << QList<QByteArray>{frame}
                                << "Master clock 09:07:46, offset -2.3 s";
        QTest::newRow("line time at 4800") << "B4800" << QTime(9, 7, 46, 62) << QList<QByteArray>{frame}
                                           << "Master clock 09:07:46, offset +0.0 s";
        QTest::newRow("line time at 38400") << "B38400" << QTime(9, 7, 46, 62) << QList<QByteArray>{frame}
                                            << "Master clock 09:07:46, offset -0.1 s";
        QTest::newRow("across midnight")
            << "B9600" << QTime(23, 59, 59, 500) << QList<QByteArray>{timeFrame(0x00, 0x00, 0x01, 0x06)}
            << "Master clock 00:00:01, offset +1.5 s";
        QTest::newRow("a day ahead") << "B9600" << QTime(9, 7, 44, 600)
                                     << QList<QByteArray>{timeFrame(0x09, 0x07, 0x46, 0x06)}
                                     << "Master clock 09:07:46, offset +86401.4 s";
        QTest::newRow("a date that is none")
            << "B9600" << QTime(9, 7, 44, 600) << QList<QByteArray>{timeFrame(0x09, 0x07, 0x46, 0x32)} << "";
        QTest::newRow("in two pieces")
            << "B9600" << QTime(9, 7, 44, 600) << QList<QByteArray>{frame.left(5), frame.mid(5)}
            << "Master clock 09:07:46, offset +1.4 s";
        QTest::newRow("after stray bytes")
            << "B9600" << QTime(9, 7, 44, 600) << QList<QByteArray>{bytesOf({0x55, 0xAA}) + frame}
            << "Master clock 09:07:46, offset +1.4 s";
        QTest::newRow("the last of two")
            << "B9600" << QTime(9, 7, 44, 600) << QList<QByteArray>{timeFrame(0x09, 0x07, 0x45) + frame}
            << "Master clock 09:07:46, offset +1.4 s";
        QTest::newRow("not BCD") << "B9600" << QTime(9, 7, 44, 600)
                                 << QList<QByteArray>{timeFrame(0x09, 0x07, 0x4A)} << "";
        QTest::newRow("hour 24") << "B9600" << QTime(9, 7, 44, 600)
                                 << QList<QByteArray>{timeFrame(0x24, 0x00, 0x00)} << "";
        QTest::newRow("settings reply")
            << "B9600" << QTime(9, 7, 44, 600) << QList<QByteArray>{hexBytes("BBB1") + kDefaultRecords} << "";
    }
    void offsetShown() {
        QFETCH(QString, speed);
        QFETCH(QTime, arrival);
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QString, shown);
        Form1Harness h;
        h.startWithPort(1);
        h.trigger(speed);
        h.clock.set(QDateTime(QDate(2024, 3, 5), arrival));
        for (const QByteArray& piece : pieces) {
            h.serial.receive(piece);
            QCoreApplication::processEvents();
        }
        // A further frame shows that the ones before were taken in.
        if (shown.isEmpty()) {
            h.serial.receive(timeFrame(0x09, 0x07, 0x50));
            QTRY_VERIFY(!h.text(kOffset).isEmpty());
            QVERIFY(h.text(kOffset).startsWith(QStringLiteral("Master clock 09:07:50")));
        } else {
            QTRY_COMPARE(h.text(kOffset), shown);
        }
    }

    void greyAfterFiveSecondsWithoutFrame() {
        Form1Harness h;
        h.startWithPort(1);
        auto* offset = h.find<QLabel>(kOffset);
        h.serial.receive(timeFrame(0x09, 0x07, 0x46));
        QTRY_VERIFY(!offset->text().isEmpty());
        QCOMPARE(offset->property("stale").toBool(), false);
        QCOMPARE(offset->styleSheet(), QString());
        QElapsedTimer since;
        since.start();
        QTRY_VERIFY_WITH_TIMEOUT(offset->property("stale").toBool(), 6000);
        QVERIFY2(since.elapsed() >= 4500, qPrintable(QString::number(since.elapsed()))); // a coarse timer
        QCOMPARE(offset->styleSheet(), QStringLiteral("color: rgb(128, 128, 128);"));
        QCOMPARE(offset->text(), QStringLiteral("Master clock 09:07:46, offset +1.4 s"));
        // The next frame makes it current again.
        h.serial.receive(timeFrame(0x09, 0x07, 0x47));
        QTRY_COMPARE(offset->property("stale").toBool(), false);
    }

    void frameAwaitedByACommandIsTheCommands() {
        Form1Harness h;
        h.startWithPort(1);
        QTimer::singleShot(20, h.window.get(), [&h] { h.serial.receive(timeFrame(0x09, 0x07, 0x45)); });
        h.click(QStringLiteral("Command8"));
        QCOMPARE(h.dialogs.takeTexts(), QStringList{"Synchronize success!"});
        QCOMPARE(h.clockSetter.offsetsUs, QList<qint64>{409'375});
        QCOMPARE(h.text(kOffset), QString());
        // What came while the command held the line has no arrival time the
        // window knows; the frames after it count.
        h.serial.receive(timeFrame(0x09, 0x07, 0x45));
        QCoreApplication::processEvents();
        h.serial.receive(timeFrame(0x09, 0x07, 0x46));
        QTRY_COMPARE(h.text(kOffset), QStringLiteral("Master clock 09:07:46, offset +1.4 s"));
    }
};

QTEST_MAIN(OffsetMonitorTest)
#include "tst_offset_monitor.moc"
