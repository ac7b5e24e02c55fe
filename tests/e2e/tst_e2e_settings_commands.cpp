// Writing the schedule into the master clock and reading it back, end to end,
// at every line speed: the window on the real serial component, the master
// clock simulator at the other end of a pseudo-terminal.
#include "SimWindow.h"
#include "app/ScheduleCheckBox.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

namespace {
QString hexText(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex().toUpper());
}

// Both countdown clocks of the simulator start with the form defaults,
// kDefaultRecords. Here row 2 has ignore hours ticked and the length 00:45:00.
const QByteArray kChangedRecords = QByteArray(kDefaultRecords).replace(6, 6, hexBytes("333000004500"));

// Row 2 as the window shows it: valid, start, length, refresh, static, ignore
// hours, length box visible.
const QString kDefaultRow2 = QStringLiteral("1 08:00:00 00:30:00 07:30:00 0 0 1");
// The echo of the changed row 2: ignore hours keeps only the refresh time's
// minutes and seconds.
const QString kChangedRow2 = QStringLiteral("1 01:15:00 00:45:00 00:30:00 0 1 1");

QByteArray frame(const QString& header, const QByteArray& records = {}) {
    return QByteArray::fromHex(header.toLatin1()) + records;
}
} // namespace

class E2eSettingsCommandsTest : public GuiTest {
    Q_OBJECT

private slots:
    void writeThenReadBack_data() {
        QTest::addColumn<int>("clockIndex");
        QTest::newRow("countdown clock 1") << 0;
        QTest::newRow("countdown clock 2") << 1;
    }
    void writeThenReadBack() {
        QFETCH(int, clockIndex);
        const QString clock = QString::number(clockIndex + 1);
        SimWindow w;
        QVERIFY(w.start());
        w.combo(QStringLiteral("Combo2"))->setCurrentIndex(clockIndex);
        w.ui.box("3", 2)->setText(QStringLiteral("0:45"));
        w.ui.check(QStringLiteral("Check42"))->setState(CheckState::Ticked);

        int mark = w.logMark();
        w.click(QStringLiteral("Command7"));
        QCOMPARE(w.messages(), QStringList{QStringLiteral("Write success!")});
        QVERIFY(w.waitForLog(logLine(QStringLiteral("RX"),
                                     hexText(frame(QStringLiteral("CCB") + clock, kChangedRecords)),
                                     QStringLiteral("write clock %1 .*").arg(clock)),
                             mark)
                    .hasMatch());
        QVERIFY(w.waitForLog(logLine(QStringLiteral("TX"),
                                     hexText(frame(QStringLiteral("CCC") + clock, kChangedRecords)),
                                     QStringLiteral("write reply clock %1 .*").arg(clock)),
                             mark)
                    .hasMatch());
        // The rows show the master clock's echo.
        QCOMPARE(w.combo(QStringLiteral("Combo2"))->currentIndex(), clockIndex);
        QCOMPARE(w.ui.rowsShown().at(1), kChangedRow2);
        const QStringList written = w.ui.rowsShown();

        // A fresh window starts with the form defaults and reads the groups back.
        QVERIFY(w.openWindow());
        QCOMPARE(w.ui.rowsShown().at(1), kDefaultRow2);
        w.combo(QStringLiteral("Combo2"))->setCurrentIndex(clockIndex);
        mark = w.logMark();
        w.click(QStringLiteral("Command6"));
        QCOMPARE(w.messages(), QStringList{QStringLiteral("Read success!")});
        QVERIFY(w.waitForLog(logLine(QStringLiteral("RX"), QStringLiteral("BBA") + clock,
                                     QStringLiteral("read request clock ") + clock),
                             mark)
                    .hasMatch());
        QVERIFY(w.waitForLog(logLine(QStringLiteral("TX"),
                                     hexText(frame(QStringLiteral("BBB") + clock, kChangedRecords)),
                                     QStringLiteral("settings reply clock %1 .*").arg(clock)),
                             mark)
                    .hasMatch());
        QCOMPARE(w.ui.text(QStringLiteral("Label2")), QStringLiteral("BBA") + clock);
        QCOMPARE(w.combo(QStringLiteral("Combo2"))->currentIndex(), clockIndex);
        QCOMPARE(w.ui.rowsShown(), written);

        // The other countdown clock keeps its own groups.
        const int otherIndex = 1 - clockIndex;
        w.combo(QStringLiteral("Combo2"))->setCurrentIndex(otherIndex);
        w.ui.dialogs.takeTexts();
        w.click(QStringLiteral("Command6"));
        QCOMPARE(w.messages(), QStringList{QStringLiteral("Read success!")});
        QCOMPARE(w.combo(QStringLiteral("Combo2"))->currentIndex(), otherIndex);
        QCOMPARE(w.ui.rowsShown().at(1), kDefaultRow2);
    }

    void readAtEachLineSpeed_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("settings");
        QTest::newRow("4800") << "B4800"
                              << "4800,n,8,1";
        QTest::newRow("9600") << "B9600"
                              << "9600,n,8,1";
        QTest::newRow("19200") << "B19200"
                               << "19200,n,8,1";
        QTest::newRow("38400") << "B38400"
                               << "38400,n,8,1";
    }
    void readAtEachLineSpeed() {
        QFETCH(QString, item);
        QFETCH(QString, settings);
        SimWindow w;
        QVERIFY(w.start());
        w.ui.trigger(item);
        QCOMPARE(w.ui.window->windowTitle(), QStringLiteral("Varo Clock - ") + settings);
        for (const char* speed : {"B4800", "B9600", "B19200", "B38400"})
            QCOMPARE(w.ui.find<QAction>(QLatin1String(speed))->isChecked(), item == QLatin1String(speed));
        // The same port, closed and opened again at the new speed.
        QCOMPARE(w.combo(QStringLiteral("Combo1"))->currentText(), QStringLiteral("Com16"));
        QVERIFY(SimWindow::holdsOpen(w.sim().device()));

        w.ui.box("3", 2)->setText(QStringLiteral("00:45:00"));
        const int mark = w.logMark();
        w.click(QStringLiteral("Command6"));
        QCOMPARE(w.messages(), QStringList{QStringLiteral("Read success!")});
        QVERIFY(w.waitForLog(logLine(QStringLiteral("RX"), QStringLiteral("BBA1"),
                                     QStringLiteral("read request clock 1")),
                             mark)
                    .hasMatch());
        QVERIFY(w.waitForLog(logLine(QStringLiteral("TX"),
                                     hexText(frame(QStringLiteral("BBB1"), kDefaultRecords)),
                                     QStringLiteral("settings reply clock 1 .*")),
                             mark)
                    .hasMatch());
        QCOMPARE(w.ui.rowsShown().at(1), kDefaultRow2);
    }
};

QTEST_MAIN(E2eSettingsCommandsTest)
#include "tst_e2e_settings_commands.moc"
