// The Windows program end to end under Wine: the window on the real serial
// component, Com16 being COM16, which scripts/e2e-windows.sh links to the
// pseudo-terminal of a master clock simulator on the Linux side. Every step
// checks the window and the exact frames in the simulator's log
// (VARO_SIM_LOG). Run by that script; the step syncFailsUnderWine needs a
// simulator that sends time frames.
#include "Form1Harness.h"
#include "SimLogFile.h"
#include "SimLogLine.h"
#include "app/ProductionSeams.h"
#include "app/ScheduleCheckBox.h"
#include "common/RuntimeError.h"
#include "serial/PortNames.h"
#include "serial/QtSerialDevice.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <windows.h>

namespace {
const QString kTimeField = QStringLiteral("(\\d\\d:\\d\\d:\\d\\d)");
// A set-time frame the clock received: captures 3 date, 4 weekday, 5 time.
const LogLinePattern kSetTime =
    logLine(QStringLiteral("RX"), QStringLiteral("AA00[0-9A-F]{14}"),
            QStringLiteral("set time (\\d{4}-\\d\\d-\\d\\d) weekday ([0-6]) ") + kTimeField);

QString hexText(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex().toUpper());
}

// Row 2 with ignore hours ticked and the length 00:45:00, and how the window
// shows the clock's echo of it.
const QByteArray kChangedRecords = QByteArray(kDefaultRecords).replace(6, 6, hexBytes("333000004500"));
const QString kChangedRow2 = QStringLiteral("1 01:15:00 00:45:00 00:30:00 0 1 1");
const QString kDefaultRow2 = QStringLiteral("1 08:00:00 00:30:00 07:30:00 0 0 1");

bool underWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// A frame timed to a second boundary arrives within that second.
void expectSentRightAfterBoundary(const QDateTime& carried, const LogLineMatch& line) {
    const qint64 lagMs = carried.msecsTo(logTime(line));
    QVERIFY2(
        lagMs >= 0 && lagMs < 1000,
        qPrintable(
            QStringLiteral("%1 arrived %2 ms after the time it carries").arg(line.captured(0)).arg(lagMs)));
}
} // namespace

class WindowsE2eTest : public GuiTest {
    Q_OBJECT

private:
    SimLogFile m_log{qEnvironmentVariable("VARO_SIM_LOG")};
    Form1Harness ui;
    std::unique_ptr<ProductionSeams> m_production;

    // A window as the program wires it, its message boxes recorded; the
    // computer's clock is set by the fake unless `realClockSetter`.
    bool openWindow(bool realClockSetter = false) {
        ui.window.reset();
        ui.dialogs.takeTexts();
        m_production = std::make_unique<ProductionSeams>(&ui.dialogs);
        Form1Seams seams = m_production->seams();
        if (!realClockSetter)
            seams.clockSetter = &ui.clockSetter;
        ui.window = std::make_unique<Form1>(seams);
        ui.window->show();
        const QString chosen = combo(QStringLiteral("Combo1"))->currentText();
        if (chosen != QStringLiteral("Com16")) {
            qWarning("the port list chose \"%s\" instead of Com16", qPrintable(chosen));
            return false;
        }
        return ui.dialogs.messages().isEmpty();
    }
    QComboBox* combo(const QString& name) const { return ui.find<QComboBox>(name); }
    void click(const QString& button) {
        QCoreApplication::processEvents();
        ui.click(button);
    }
    template <typename Pattern> auto waitForLog(const Pattern& pattern, int fromLine) {
        return m_log.waitForLine(pattern, fromLine);
    }

private slots:
    void initTestCase() {
        QVERIFY2(!m_log.lines().isEmpty(), "VARO_SIM_LOG names no simulator log");
        QVERIFY(underWine());
    }

    void holdsCom16Open() {
        const int mark = m_log.mark();
        QVERIFY(openWindow());
        QVERIFY(waitForLog(QRegularExpression(QStringLiteral(" EV - peers with the device open: 1$")), mark)
                    .hasMatch());
        QCOMPARE(ui.window->windowTitle(), QStringLiteral("Varo Clock - 9600,n,8,1"));
    }

    // COMn is no file: the driver tells that a port is missing, here one that
    // VARO_CLOCK_COM3 names. (A port in use cannot be shown: Wine lets a
    // second program open it too.)
    void missingPortIsMissing() {
        qputenv("VARO_CLOCK_COM3", "COM40");
        QtSerialDevice missing(3, PortNames::deviceForPort(3));
        qunsetenv("VARO_CLOCK_COM3");
        try {
            missing.open(LineSettings{});
            QFAIL("COM40 opened, but Wine has no such port");
        } catch (const RuntimeError& error) {
            QCOMPARE(error.number(), ErrorNumber::InvalidPortNumber);
            QVERIFY2(error.description().startsWith(QStringLiteral("Com3 (COM40) does not exist")),
                     qPrintable(error.description()));
        }
    }

    void setTimeFromTheComputer() {
        QVERIFY(openWindow());
        const int mark = m_log.mark();
        click(QStringLiteral("Command1"));
        QCOMPARE(ui.dialogs.texts(), QStringList());
        const LogLineMatch set = waitForLog(kSetTime, mark);
        QVERIFY2(set.hasMatch(), "the master clock logged no set-time frame");
        const QDateTime carried(QDate::fromString(set.captured(3), Qt::ISODate),
                                QTime::fromString(set.captured(5), QStringLiteral("HH:mm:ss")));
        expectSentRightAfterBoundary(carried, set);
        QCOMPARE(set.captured(4).toInt(), carried.date().dayOfWeek() % 7);
        QCOMPARE(ui.text(QStringLiteral("Label2")), set.captured(2));
        QCOMPARE(ui.text(QStringLiteral("Label3")),
                 QStringLiteral("%1,%2,%3").arg(set.captured(3), set.captured(4), set.captured(5)));
    }

    void temporaryCountdown_data() {
        QTest::addColumn<int>("clockIndex");
        QTest::newRow("countdown clock 1") << 0;
        QTest::newRow("countdown clock 2") << 1;
    }
    void temporaryCountdown() {
        QFETCH(int, clockIndex);
        const QString clock = QString::number(clockIndex + 1);
        QVERIFY(openWindow());
        combo(QStringLiteral("Combo2"))->setCurrentIndex(clockIndex);
        const QString startText = QTime::currentTime().addSecs(3600).toString(QStringLiteral("HH:mm:ss"));
        ui.find<QLineEdit>(QStringLiteral("Text18"))->setText(startText);
        const int mark = m_log.mark();
        click(QStringLiteral("Command3"));
        QCOMPARE(ui.dialogs.texts(), QStringList());
        const LogLineMatch countdown = waitForLog(
            logLine(
                QStringLiteral("RX"), QStringLiteral("DDD%1[0-9]{6}").arg(clock),
                QStringLiteral("countdown clock %1 %2 target \\S+ weekday [0-6] %2").arg(clock, kTimeField)),
            mark);
        QVERIFY2(countdown.hasMatch(), "the master clock logged no countdown on the chosen clock");
        const int remaining =
            QTime(0, 0).secsTo(QTime::fromString(countdown.captured(3), QStringLiteral("HH:mm:ss")));
        QVERIFY2(remaining > 3590 && remaining <= 3600, qPrintable(countdown.captured(0)));
        QVERIFY2(qAbs(QTime::fromString(startText, QStringLiteral("HH:mm:ss"))
                          .secsTo(QTime::fromString(countdown.captured(4), QStringLiteral("HH:mm:ss")))) <= 1,
                 qPrintable(countdown.captured(0)));
        QCOMPARE(ui.text(QStringLiteral("Label2")), countdown.captured(2));
    }

    void writeThenReadBack_data() {
        QTest::addColumn<int>("clockIndex");
        QTest::newRow("countdown clock 1") << 0;
        QTest::newRow("countdown clock 2") << 1;
    }
    void writeThenReadBack() {
        QFETCH(int, clockIndex);
        const QString clock = QString::number(clockIndex + 1);
        QVERIFY(openWindow());
        combo(QStringLiteral("Combo2"))->setCurrentIndex(clockIndex);
        ui.box("3", 2)->setText(QStringLiteral("0:45"));
        ui.check(QStringLiteral("Check42"))->setState(CheckState::Ticked);
        int mark = m_log.mark();
        click(QStringLiteral("Command7"));
        QCOMPARE(ui.dialogs.texts(), QStringList{QStringLiteral("Write success!")});
        const QByteArray written = QByteArray::fromHex("CCB" + clock.toLatin1()) + kChangedRecords;
        QVERIFY(waitForLog(logLine(QStringLiteral("RX"), hexText(written),
                                   QStringLiteral("write clock %1 .*").arg(clock)),
                           mark)
                    .hasMatch());
        const QByteArray echo = QByteArray::fromHex("CCC" + clock.toLatin1()) + kChangedRecords;
        QVERIFY(waitForLog(logLine(QStringLiteral("TX"), hexText(echo),
                                   QStringLiteral("write reply clock %1 .*").arg(clock)),
                           mark)
                    .hasMatch());
        QCOMPARE(ui.rowsShown().at(1), kChangedRow2);
        const QStringList rows = ui.rowsShown();

        // A fresh window starts with the form defaults and reads the groups back.
        QVERIFY(openWindow());
        QCOMPARE(ui.rowsShown().at(1), kDefaultRow2);
        combo(QStringLiteral("Combo2"))->setCurrentIndex(clockIndex);
        mark = m_log.mark();
        click(QStringLiteral("Command6"));
        QCOMPARE(ui.dialogs.texts(), QStringList{QStringLiteral("Read success!")});
        QVERIFY(waitForLog(logLine(QStringLiteral("RX"), QStringLiteral("BBA") + clock,
                                   QStringLiteral("read request clock ") + clock),
                           mark)
                    .hasMatch());
        const QByteArray reply = QByteArray::fromHex("BBB" + clock.toLatin1()) + kChangedRecords;
        QVERIFY(waitForLog(logLine(QStringLiteral("TX"), hexText(reply),
                                   QStringLiteral("settings reply clock %1 .*").arg(clock)),
                           mark)
                    .hasMatch());
        QCOMPARE(ui.text(QStringLiteral("Label2")), QStringLiteral("BBA") + clock);
        QCOMPARE(ui.rowsShown(), rows);
    }

    void simulatedGpsSentence_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("status");
        QTest::newRow("fix valid") << "Command9"
                                   << "A";
        QTest::newRow("fix not valid") << "Command10"
                                       << "V";
    }
    void simulatedGpsSentence() {
        QFETCH(QString, button);
        QFETCH(QString, status);
        QVERIFY(openWindow());
        const int mark = m_log.mark();
        click(button);
        QCOMPARE(ui.dialogs.texts(), QStringList());
        const LogLineMatch rmc =
            waitForLog(logLine(QStringLiteral("RX"), QStringLiteral("24[0-9A-F]+0D0A"),
                               QStringLiteral("RMC (\\d{6})\\.123 ([AV]) (\\d{6}) checksum ok")),
                       mark);
        QVERIFY2(rmc.hasMatch(), "the master clock logged no RMC sentence with a good checksum");
        QCOMPARE(rmc.captured(4), status);
        const QDateTime carried(QDate::fromString(rmc.captured(5), QStringLiteral("ddMMyy")).addYears(100),
                                QTime::fromString(rmc.captured(3), QStringLiteral("HHmmss")));
        expectSentRightAfterBoundary(carried, rmc);
        const QByteArray sent = QByteArray::fromHex(rmc.captured(2).toLatin1());
        QCOMPARE(sent.size(), 70);
        QCOMPARE(ui.text(QStringLiteral("Label3")),
                 QStringLiteral("Checksum = ") + QString::fromLatin1(sent.mid(66, 2)));
        QCOMPARE(ui.text(QStringLiteral("Label2")),
                 QString::fromLatin1(QByteArray(sent).replace(66, 2, "??")));
    }

    // Last of the steps on one simulator: it sets the master clock away from
    // the computer's time, which the countdown's target is counted from.
    void setTypedTime() {
        QVERIFY(openWindow());
        ui.find<QLineEdit>(QStringLiteral("Text1"))->setText(QStringLiteral("9:7:5"));
        const int mark = m_log.mark();
        click(QStringLiteral("Command2"));
        QCOMPARE(ui.dialogs.texts(), QStringList());
        QCOMPARE(ui.text(QStringLiteral("Text1")), QStringLiteral("09:07:05"));
        const LogLineMatch set = waitForLog(kSetTime, mark);
        QVERIFY2(set.hasMatch(), "the master clock logged no set-time frame");
        QCOMPARE(set.captured(5), QStringLiteral("09:07:05"));
        const QDate today = logTime(set).date();
        QCOMPARE(set.captured(3), today.toString(Qt::ISODate));
        // BCD: the digits of the date read as hexadecimal bytes.
        QCOMPARE(set.captured(2), QStringLiteral("AA00") + today.toString(QStringLiteral("yyMMdd")) +
                                      QLatin1Char('0') + QString::number(today.dayOfWeek() % 7) +
                                      QStringLiteral("090705"));
        QCOMPARE(ui.text(QStringLiteral("Label2")), set.captured(2));
    }

    // Wine's cmd cannot set the clock and says so: the window reports it.
    void syncFailsUnderWine() {
        QVERIFY(openWindow(true));
        const int mark = m_log.mark();
        click(QStringLiteral("Command8"));
        QCOMPARE(ui.dialogs.texts(), QStringList{QStringLiteral("Writing Error 70:Not Yet Implemented")});
        QVERIFY(waitForLog(logLine(QStringLiteral("TX"), QStringLiteral("AA00[0-9A-F]{14}"),
                                   QStringLiteral("clock time .*")),
                           mark)
                    .hasMatch());
    }
};

QTEST_MAIN(WindowsE2eTest)
#include "tst_windows_e2e.moc"
