// What the window does when the master clock's answers go wrong on the line,
// and when the device goes away while a command waits: the window on the real
// serial component, the master clock simulator at the other end of a
// pseudo-terminal with its fault options.
#include "SimWindow.h"
#include "app/ScheduleCheckBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTime>
#include <QTimer>
#include <csignal>

namespace {
// An answer the window takes shows the master clock's groups: the form
// defaults, row 2 with the length 00:30:00 and ignore hours clear.
const QString kAnsweredRow2 = QStringLiteral("1 08:00:00 00:30:00 07:30:00 0 0 1");

const char* const kCommands[] = {"Command1", "Command2", "Command3", "Command4", "Command5",
                                 "Command6", "Command7", "Command8", "Command9", "Command10"};

// Whether the computer's clock is within [fromMs, fromMs + 150) of its second.
bool inMillisecondsOfSecond(int fromMs) {
    const int ms = QTime::currentTime().msec();
    return ms >= fromMs && ms < fromMs + 150;
}
} // namespace

class E2eLineFaultsTest : public GuiTest {
    Q_OBJECT

private slots:
    void faultyAnswers_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("button");
        // Where in its second the command starts; -1 for anywhere.
        QTest::addColumn<int>("startMs");
        // The start of the one message shown, or empty for none.
        QTest::addColumn<QString>("message");
        // Whether the rows then show the master clock's groups.
        QTest::addColumn<bool>("answerTaken");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        // The simulator's log lines after the press, in this order.
        QTest::addColumn<QStringList>("logged");

        const QString reply = QStringLiteral(" TX BBB1[0-9A-F]{96} settings reply clock 1 ");
        // No answer: the wait runs out after two to three seconds.
        QTest::newRow("silent, read")
            << QStringList{QStringLiteral("--silent")} << "Command6" << -1 << QString() << false << 2000
            << 3300 << QStringList{QStringLiteral(" EV - answer withheld \\(--silent\\)$")};
        // 10 of 50 bytes: the wait runs out, and the short answer changes nothing.
        QTest::newRow("cut, read") << QStringList{QStringLiteral("--cut"), QStringLiteral("10")} << "Command6"
                                   << -1 << "Writing Error 9:" << false << 2000 << 3300
                                   << QStringList{
                                          QStringLiteral(" TX BBB1[0-9A-F]{16} settings reply clock 1 .* "
                                                         "\\[cut to 10 of 50 bytes\\]$")};
        // 50 bytes with the other command's codes: ended at once, silently.
        QTest::newRow("foreign, read")
            << QStringList{QStringLiteral("--foreign")} << "Command6" << -1 << QString() << false << 0 << 1500
            << QStringList{
                   QStringLiteral(" TX CCC1[0-9A-F]{96} write reply clock 1 .* \\(foreign answer\\)$")};
        QTest::newRow("foreign, write")
            << QStringList{QStringLiteral("--foreign")} << "Command7" << -1 << QString() << false << 0 << 1500
            << QStringList{
                   QStringLiteral(" TX BBB1[0-9A-F]{96} settings reply clock 1 .* \\(foreign answer\\)$")};
        // Eight pieces 50 ms apart: taken once all 50 bytes are in.
        QTest::newRow("split, read") << QStringList{QStringLiteral("--split"), QStringLiteral("7"),
                                                    QStringLiteral("--split-delay"), QStringLiteral("50")}
                                     << "Command6" << -1 << "Read success!" << true << 300 << 1500
                                     << QStringList{
                                            QStringLiteral(" TX BBB1[0-9A-F]{10} .* \\[piece 1 of 8\\]$"),
                                            QStringLiteral(" TX [0-9A-F]{2} .* \\[piece 8 of 8\\]$")};
        // Three bytes 0x55 ahead of the answer: the read takes 53 bytes that
        // start with 0x55, foreign first bytes, and ends at once, silently.
        QTest::newRow("stray bytes, read")
            << QStringList{QStringLiteral("--stray"), QStringLiteral("3")} << "Command6" << -1 << QString()
            << false << 0 << 1500 << QStringList{QStringLiteral(" TX 555555 stray bytes$"), reply};
        // The master clock's own time frame just ahead of the answer is
        // passed over, and the answer after it is taken.
        const QString timeFrame = QStringLiteral(" TX AA00[0-9A-F]{14} clock time .*$");
        QTest::newRow("time frame first, read")
            << QStringList{QStringLiteral("--time-frame-first")} << "Command6" << -1 << "Read success!"
            << true << 0 << 1500 << QStringList{timeFrame, reply};
        QTest::newRow("answer after 300 ms, read")
            << QStringList{QStringLiteral("--delay"), QStringLiteral("300")} << "Command6" << -1
            << "Read success!" << true << 300 << 1500 << QStringList{reply};
        // The wait counts whole seconds of the clock: begun late in a second it
        // runs out after about 2.2 s, before an answer 2.5 s late...
        QTest::newRow("answer after 2.5 s, wait begun late in its second")
            << QStringList{QStringLiteral("--delay"), QStringLiteral("2500")} << "Command6" << 750
            << QString() << false << 2000 << 2500 << QStringList{reply};
        // ...begun early in a second it lasts about 2.9 s and takes that answer.
        QTest::newRow("answer after 2.5 s, wait begun early in its second")
            << QStringList{QStringLiteral("--delay"), QStringLiteral("2500")} << "Command6" << 50
            << "Read success!" << true << 2450 << 3000 << QStringList{reply};
    }
    void faultyAnswers() {
        QFETCH(QStringList, options);
        QFETCH(QString, button);
        QFETCH(int, startMs);
        QFETCH(QString, message);
        QFETCH(bool, answerTaken);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        QFETCH(QStringList, logged);
        SimWindow w;
        QVERIFY(w.start(options));
        // Rows that differ from the master clock's, so that a taken answer shows.
        w.ui.box("3", 2)->setText(QStringLiteral("00:45:00"));
        w.ui.check(QStringLiteral("Check42"))->setState(CheckState::Ticked);
        const QStringList before = w.ui.rowsShown();

        if (startMs >= 0)
            QTRY_VERIFY_WITH_TIMEOUT(inMillisecondsOfSecond(startMs), 3000);
        const int mark = w.logMark();
        const qint64 ranMs = w.click(button);

        if (message.isEmpty()) {
            QCOMPARE(w.messages(), QStringList());
        } else {
            QCOMPARE(w.messages().size(), 1);
            QVERIFY2(w.messages().first().startsWith(message), qPrintable(w.messages().first()));
        }
        if (answerTaken)
            QCOMPARE(w.ui.rowsShown().at(1), kAnsweredRow2);
        else
            QCOMPARE(w.ui.rowsShown(), before);
        QCOMPARE(w.combo(QStringLiteral("Combo2"))->currentIndex(), 0);
        QVERIFY2(ranMs >= minMs && ranMs <= maxMs, qPrintable(QStringLiteral("ran %1 ms").arg(ranMs)));
        QVERIFY(w.ui.find(button)->isEnabled());

        int from = mark;
        for (const QString& pattern : logged) {
            const QRegularExpressionMatch line = w.waitForLog(QRegularExpression(pattern), from);
            QVERIFY2(line.hasMatch(), qPrintable(QStringLiteral("not logged in order: ") + pattern));
            from = w.indexOfLine(line.captured(0)) + 1;
        }
    }

    void deviceGoneDuringTheWait() {
        SimWindow w;
        QVERIFY(w.start({QStringLiteral("--silent")}));
        const QString lostDevice = w.sim().device();
        // The master clock goes away while the read waits for its answer.
        const qint64 simulatorPid = w.sim().pid();
        QTimer::singleShot(300, [simulatorPid] { ::kill(pid_t(simulatorPid), SIGKILL); });
        const qint64 ranMs = w.click(QStringLiteral("Command6"));
        QCOMPARE(w.sim().waitForExit(), -1);

        // The loss ends the wait at once with the report that names the port.
        QVERIFY2(ranMs < 2000, qPrintable(QStringLiteral("ran %1 ms").arg(ranMs)));
        QCOMPARE(w.messages().size(), 1);
        const QString report = w.messages().first();
        QVERIFY2(report.startsWith(QStringLiteral("Writing Error 8022:")), qPrintable(report));
        QVERIFY2(report.contains(QStringLiteral("Com16")) && report.contains(lostDevice), qPrintable(report));
        QVERIFY(!SimWindow::holdsOpen(lostDevice));

        // The window stays usable: every control is enabled, the port list no
        // longer shows the lost port, and a command on it names the lost device.
        for (const char* command : kCommands)
            QVERIFY2(w.ui.find(QLatin1String(command))->isEnabled(), command);
        QVERIFY(w.combo(QStringLiteral("Combo1"))->isEnabled());
        QVERIFY(w.ui.find<QMenu>(QStringLiteral("Baud"))->menuAction()->isEnabled());
        QCOMPARE(w.combo(QStringLiteral("Combo1"))->currentIndex(), -1);
        w.ui.dialogs.takeTexts();
        w.click(QStringLiteral("Command6"));
        QCOMPARE(w.messages(), QStringList{report});

        // A new master clock on another pseudo-terminal: "Search" finds it as
        // Com16 and opens it, and a read works again.
        QVERIFY(w.startSimulator());
        w.ui.dialogs.takeTexts();
        w.chooseSearch();
        QCOMPARE(w.messages(), QStringList());
        QCOMPARE(w.combo(QStringLiteral("Combo1"))->currentText(), QStringLiteral("Com16"));
        QVERIFY(SimWindow::holdsOpen(w.sim().device()));
        const int mark = w.logMark();
        w.click(QStringLiteral("Command6"));
        QCOMPARE(w.messages(), QStringList{QStringLiteral("Read success!")});
        QCOMPARE(w.ui.rowsShown().at(1), kAnsweredRow2);
        QVERIFY(w.waitForLog(logLine(QStringLiteral("RX"), QStringLiteral("BBA1"),
                                     QStringLiteral("read request clock 1")),
                             mark)
                    .hasMatch());
    }

    void portHeldByAnotherProgram() {
        SimWindow w;
        QVERIFY(w.start());
        const QString device = w.sim().device();
        // Another program opens the master clock's line (without asking for
        // exclusive use, as most do): a scan leaves the port out.
        const auto holdOpen = [&device](QProcess& other) {
            other.setStandardInputFile(device);
            other.start(QStringLiteral("sleep"), {QStringLiteral("30")});
            return other.waitForStarted();
        };
        QProcess other;
        QVERIFY(holdOpen(other));
        w.chooseSearch();
        QCOMPARE(w.combo(QStringLiteral("Combo1"))->findText(QStringLiteral("Com16")), -1);
        QVERIFY(!SimWindow::holdsOpen(device));
        QCOMPARE(w.messages(), QStringList());

        // Once it has let go the port is listed again; chosen after another
        // program took it since, it names that program.
        other.kill();
        other.waitForFinished();
        w.chooseSearch();
        QCOMPARE(w.combo(QStringLiteral("Combo1"))->currentText(), QStringLiteral("Com16"));
        QProcess again;
        QVERIFY(holdOpen(again));
        QComboBox* ports = w.combo(QStringLiteral("Combo1"));
        ports->setCurrentIndex(ports->findText(QStringLiteral("Com16")));
        emit ports->activated(ports->currentIndex());
        QCOMPARE(w.messages(),
                 QStringList{QStringLiteral("8010: Com16 (%1) is in use by another program: sleep (pid %2)")
                                 .arg(device)
                                 .arg(again.processId())});
        QVERIFY(!SimWindow::holdsOpen(device));
        again.kill();
        again.waitForFinished();
    }
};

QTEST_MAIN(E2eLineFaultsTest)
#include "tst_e2e_line_faults.moc"
