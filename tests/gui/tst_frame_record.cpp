// The record of every frame: its lines for each command, its panel (copy,
// save) and its daily file.
#include "Form1Harness.h"
#include "gps/RmcSentence.h"
#include "protocol/FrameRecord.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
QString hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// The lines without their time stamps, which are checked apart.
QStringList withoutTimes(const QStringList& lines) {
    static const QRegularExpression stamp(QStringLiteral("^2024-03-05 09:07:4\\d\\.\\d{3} "));
    QStringList rest;
    for (const QString& line : lines) {
        if (!stamp.match(line).hasMatch())
            rest << QStringLiteral("no time stamp: ") + line;
        else
            rest << line.mid(24);
    }
    return rest;
}

QStringList linesOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {QStringLiteral("cannot read ") + path};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

const QByteArray kStale = bytesOf({0x55, 0x55});
const QByteArray kClockTime = bytesOf({0xAA, 0x00, 0x24, 0x03, 0x05, 0x02, 0x09, 0x07, 0x46});
} // namespace

class FrameRecordTest : public GuiTest {
    Q_OBJECT

private:
    // Runs `button` with stale bytes waiting and the master clock answering
    // `answer` to any frame (or sending it on its own when nothing is sent).
    static void runCommand(Form1Harness& h, const QString& button, const QByteArray& answer) {
        h.serial.responder = [&h, answer](const QByteArray&) {
            if (!answer.isEmpty())
                h.serial.receive(answer);
        };
        h.serial.receive(kStale);
        if (button == QLatin1String("Command8"))
            QTimer::singleShot(50, h.window.get(), [&h, answer] { h.serial.receive(answer); });
        h.click(button);
    }

private slots:
    void linesOfEachCommand_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("lines");
        const QString stale = QStringLiteral("flushed  Com1 9600 55 55");
        const QByteArray readReply = hexBytes("BBB1") + kDefaultRecords;
        const QByteArray writeReply = hexBytes("CCC1") + kDefaultRecords;
        QTest::newRow("北京时间校时")
            << "Command1" << QByteArray() << QStringList{"sent     Com1 9600 AA 00 24 03 05 02 09 07 45"};
        QTest::newRow("临时倒计时") << "Command3" << QByteArray()
                                    << QStringList{"sent     Com1 9600 DD D1 00 52 15"};
        QTest::newRow("读取母钟设置")
            << "Command6" << readReply
            << QStringList{stale, "sent     Com1 9600 BB A1", "received Com1 9600 " + hex(readReply)};
        QTest::newRow("设置写入母钟")
            << "Command7" << writeReply
            << QStringList{stale, "sent     Com1 9600 " + hex(hexBytes("CCB1") + kDefaultRecords),
                           "received Com1 9600 " + hex(writeReply)};
        QTest::newRow("电脑同步于母钟")
            << "Command8" << kClockTime << QStringList{stale, "received Com1 9600 " + hex(kClockTime)};
        const RmcSentence rmc = RmcSentence::build(QTime(9, 7, 45), QDate(2024, 3, 5), 'V');
        QTest::newRow("RMC as its text")
            << "Command10" << QByteArray()
            << QStringList{"sent     Com1 9600 " + QString::fromLatin1(rmc.bytes.chopped(2))};
    }
    void linesOfEachCommand() {
        QFETCH(QString, button);
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, lines);
        Form1Harness h;
        h.startWithPort(1);
        runCommand(h, button, answer);
        h.dialogs.takeTexts();
        h.trigger(QStringLiteral("ShowFrameRecord"));
        const QStringList shown =
            h.find<QPlainTextEdit>(QStringLiteral("RecordText"))->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(withoutTimes(shown), lines);
    }

    void portAndSpeedOfTheLine() {
        Form1Harness h;
        h.serial.setDevice(QStringLiteral("/dev/ttyUSB3"), FakeSerialBank::Port::Usable);
        Form1& w = h.start();
        w.show();
        h.trigger(QStringLiteral("B38400"));
        auto* combo = h.find<QComboBox>(QStringLiteral("Combo1"));
        combo->lineEdit()->setText(QStringLiteral("/dev/ttyUSB3"));
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        QTRY_COMPARE(h.serial.openLocation(), QStringLiteral("/dev/ttyUSB3"));
        h.click(QStringLiteral("Command3"));
        h.trigger(QStringLiteral("ShowFrameRecord"));
        QCOMPARE(withoutTimes({h.find<QPlainTextEdit>(QStringLiteral("RecordText"))->toPlainText()}),
                 QStringList{"sent     /dev/ttyUSB3 38400 DD D1 00 52 15"});
    }

    void panelFollowsCopiesAndSaves() {
        QTemporaryDir folder;
        Form1Harness h;
        h.startWithPort(1);
        QCOMPARE(h.find<QMenu>(QStringLiteral("View"))->title(), QStringLiteral("查看(&V)"));
        QCOMPARE(h.find<QAction>(QStringLiteral("ShowFrameRecord"))->text(), QStringLiteral("通信记录(&R)"));
        h.trigger(QStringLiteral("ShowFrameRecord"));
        auto* text = h.find<QPlainTextEdit>(QStringLiteral("RecordText"));
        QVERIFY(h.find(QStringLiteral("FrameRecordPanel"))->isVisible());
        QCOMPARE(text->toPlainText(), QString());
        h.click(QStringLiteral("Command3"));
        h.click(QStringLiteral("Command1"));
        const QStringList lines = text->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(withoutTimes(lines), (QStringList{"sent     Com1 9600 DD D1 00 52 15",
                                                   "sent     Com1 9600 AA 00 24 03 05 02 09 07 46"}));

        QTest::mouseClick(h.find<QPushButton>(QStringLiteral("CopyRecord")), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));

        const QString saved = folder.filePath(QStringLiteral("record.txt"));
        h.dialogs.nextSaveFileNames << saved;
        QTest::mouseClick(h.find<QPushButton>(QStringLiteral("SaveRecord")), Qt::LeftButton);
        QCOMPARE(linesOf(saved), lines);
        QCOMPARE(h.dialogs.lastFilter, QStringLiteral("文本文件 (*.txt);;所有文件 (*.*)"));
        QCOMPARE(h.dialogs.takeTexts(), QStringList());
    }

    void dailyFileKeepsThirtyDays() {
        QTemporaryDir folder;
        const QStringList kept{"frames-2024-02-05.txt", "frames-2024-03-04.txt", "frames-2024-03-05.txt",
                               "notes.txt"};
        for (const char* name : {"frames-2024-02-05.txt", "frames-2024-03-04.txt", "notes.txt",
                                 "frames-2024-02-04.txt", "frames-2023-12-31.txt"}) {
            QFile file(folder.filePath(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        Form1Harness h;
        h.serial.setPort(1, FakeSerialBank::Port::Usable);
        h.start(QString(), folder.path());
        h.click(QStringLiteral("Command3"));
        const QString today = FrameRecord::fileOf(folder.path(), QDate(2024, 3, 5));
        QCOMPARE(withoutTimes(linesOf(today)), QStringList{"sent     Com1 9600 DD D1 00 52 15"});
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), kept);
    }

    // The warning goes once the file takes lines again; its tool tip holds
    // the whole reason.
    void fileWarningClearsWhenTheFileIsWrittenAgain() {
        QTemporaryDir folder;
        const QString records = folder.filePath(QStringLiteral("records"));
        QFile blocker(records);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Form1Harness h;
        h.serial.setPort(1, FakeSerialBank::Port::Usable);
        h.start(QString(), records);
        auto* status = h.find<QLabel>(QStringLiteral("RecordStatus"));
        h.click(QStringLiteral("Command3"));
        QVERIFY(!status->isHidden());
        QCOMPARE(status->toolTip(), QStringLiteral("%1: the folder cannot be made").arg(records));
        QVERIFY(QFile::remove(records));
        h.click(QStringLiteral("Command3"));
        QVERIFY(status->isHidden());
        QCOMPARE(linesOf(FrameRecord::fileOf(records, QDate(2024, 3, 5))).size(), 1);
    }

    // Scrolled to the bottom, the panel follows new lines; scrolled up, it
    // stays where the operator reads.
    void panelFollowsAtTheBottomOnly() {
        Form1Harness h;
        h.startWithPort(1);
        for (int i = 0; i < 60; ++i)
            h.click(QStringLiteral("Command3"));
        h.trigger(QStringLiteral("ShowFrameRecord"));
        QScrollBar* scroll = h.find<QPlainTextEdit>(QStringLiteral("RecordText"))->verticalScrollBar();
        QTRY_VERIFY(scroll->maximum() > 0);
        QCOMPARE(scroll->value(), scroll->maximum());
        h.click(QStringLiteral("Command3"));
        QCOMPARE(scroll->value(), scroll->maximum());
        scroll->setValue(10);
        h.click(QStringLiteral("Command3"));
        QCOMPARE(scroll->value(), 10);
    }

    void unwritableFileIsReportedOnceAndDisturbsNothing() {
        QTemporaryDir folder;
        const QString notAFolder = folder.filePath(QStringLiteral("file"));
        QFile file(notAFolder);
        QVERIFY(file.open(QIODevice::WriteOnly));
        Form1Harness h;
        h.serial.setPort(1, FakeSerialBank::Port::Usable);
        h.start(QString(), notAFolder);
        auto* status = h.find<QLabel>(QStringLiteral("RecordStatus"));
        h.click(QStringLiteral("Command3"));
        QCOMPARE(h.serial.writes.size(), 1);
        QCOMPARE(
            status->text(),
            QStringLiteral("Frame record not saved to file: %1: the folder cannot be made").arg(notAFolder));
        QVERIFY(!status->isHidden());
        status->clear();
        h.click(QStringLiteral("Command3"));
        QCOMPARE(h.serial.writes.size(), 2);
        QCOMPARE(status->text(), QString());
        QCOMPARE(h.dialogs.takeTexts(), QStringList());
    }
};

QTEST_MAIN(FrameRecordTest)
#include "tst_frame_record.moc"
