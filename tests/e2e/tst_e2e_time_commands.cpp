// The commands that put the time of day on the line, end to end: the window
// on the real serial component and the computer's clock, the master clock
// simulator at the other end of a pseudo-terminal.
#include "SimWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QTest>

namespace {
const QString kTimeField = QStringLiteral("(\\d\\d:\\d\\d:\\d\\d)");

// The clock's time in a set-time frame it received (captures 3 date,
// 4 weekday, 5 time) or in a time frame it sent.
const LogLinePattern kSetTime =
    logLine(QStringLiteral("RX"), QStringLiteral("AA00[0-9A-F]{14}"),
            QStringLiteral("set time (\\d{4}-\\d\\d-\\d\\d) weekday ([0-6]) ") + kTimeField);
const LogLinePattern kTimeFrame =
    logLine(QStringLiteral("TX"), QStringLiteral("AA00[0-9A-F]{14}"),
            QStringLiteral("clock time (\\d{4}-\\d\\d-\\d\\d) weekday ([0-6]) ") + kTimeField);

QDateTime clockReading(const LogLineMatch& line) {
    return QDateTime(QDate::fromString(line.captured(3), Qt::ISODate),
                     QTime::fromString(line.captured(5), QStringLiteral("HH:mm:ss")));
}

// The weekday digit the frames carry: 0 for Sunday to 6 for Saturday.
int weekdayDigit(const QDate& date) {
    return date.dayOfWeek() % 7;
}

// b - a in seconds, taken the short way round the clock face.
int secondsApart(const QTime& a, const QTime& b) {
    constexpr int kDay = 24 * 3600;
    const int difference = ((a.secsTo(b) % kDay) + kDay) % kDay;
    return difference > kDay / 2 ? difference - kDay : difference;
}
} // namespace

class E2eTimeCommandsTest : public GuiTest {
    Q_OBJECT

private:
    // A frame that leaves right after a second boundary carries that second:
    // it arrives less than a second after the time it carries.
    static void expectSentRightAfterBoundary(const QDateTime& carried, const LogLineMatch& line) {
        const qint64 lagMs = carried.msecsTo(logTime(line));
        QVERIFY2(lagMs >= 0 && lagMs < 1000,
                 qPrintable(QStringLiteral("%1 arrived %2 ms after the time it carries")
                                .arg(line.captured(0))
                                .arg(lagMs)));
    }

    // The master clock's next two time frames carry the time it was set to,
    // run on by the time since the set-time frame arrived.
    static void expectTimeFramesRunOn(SimWindow& w, const LogLineMatch& set) {
        const QDateTime setTo = clockReading(set);
        const qint64 setAtUs = set.captured(1).toLongLong();
        int from = w.indexOfLine(set.captured(0)) + 1;
        QVERIFY(from > 0);
        for (int frameNumber = 1; frameNumber <= 2; ++frameNumber) {
            const LogLineMatch frame = w.waitForLog(kTimeFrame, from, 3000);
            QVERIFY2(frame.hasMatch(), "no time frame after the set-time frame");
            const qint64 ranOnUs = frame.captured(1).toLongLong() - setAtUs;
            const qint64 shownUs = setTo.secsTo(clockReading(frame)) * 1'000'000;
            QVERIFY2(
                qAbs(shownUs - ranOnUs) <= 1'000'000,
                qPrintable(QStringLiteral("set to %1, then %2").arg(set.captured(0), frame.captured(0))));
            if (frame.captured(3) == set.captured(3))
                QCOMPARE(frame.captured(4), set.captured(4));
            from = w.indexOfLine(frame.captured(0)) + 1;
        }
    }

private slots:
    void setTimeFromTheComputer() {
        SimWindow w;
        QVERIFY(w.start({QStringLiteral("--time-frames"), QStringLiteral("1")}));
        const int mark = w.logMark();
        w.click(QStringLiteral("Command1"));
        QCOMPARE(w.messages(), QStringList());

        const LogLineMatch set = w.waitForLog(kSetTime, mark);
        QVERIFY2(set.hasMatch(), "the master clock logged no set-time frame");
        // The computer's date, weekday and time of the second the frame left.
        const QDateTime carried = clockReading(set);
        expectSentRightAfterBoundary(carried, set);
        QCOMPARE(set.captured(4).toInt(), weekdayDigit(carried.date()));
        QCOMPARE(w.ui.text(QStringLiteral("Label2")), set.captured(2));
        QCOMPARE(w.ui.text(QStringLiteral("Label3")),
                 QStringLiteral("%1,%2,%3").arg(set.captured(3), set.captured(4), set.captured(5)));
        expectTimeFramesRunOn(w, set);
    }

    void setTypedTime() {
        SimWindow w;
        QVERIFY(w.start({QStringLiteral("--time-frames"), QStringLiteral("1")}));
        w.ui.find<QLineEdit>(QStringLiteral("Text1"))->setText(QStringLiteral("9:7:5"));
        const int mark = w.logMark();
        w.click(QStringLiteral("Command2"));
        QCOMPARE(w.messages(), QStringList());
        QCOMPARE(w.ui.text(QStringLiteral("Text1")), QStringLiteral("09:07:05"));

        const LogLineMatch set = w.waitForLog(kSetTime, mark);
        QVERIFY2(set.hasMatch(), "the master clock logged no set-time frame");
        QCOMPARE(set.captured(5), QStringLiteral("09:07:05"));
        // The computer's date and weekday with the typed time of day.
        const QDate today = logTime(set).date();
        QCOMPARE(set.captured(3), today.toString(Qt::ISODate));
        QCOMPARE(set.captured(4).toInt(), weekdayDigit(today));
        QCOMPARE(w.ui.text(QStringLiteral("Label2")), set.captured(2));
        QCOMPARE(w.ui.text(QStringLiteral("Label3")),
                 QStringLiteral("%1,%2,09:07:05").arg(set.captured(3), set.captured(4)));
        expectTimeFramesRunOn(w, set);
    }

    void temporaryCountdown_data() {
        QTest::addColumn<int>("clockIndex");
        QTest::newRow("countdown clock 1") << 0;
        QTest::newRow("countdown clock 2") << 1;
    }
    void temporaryCountdown() {
        QFETCH(int, clockIndex);
        const QString clock = QString::number(clockIndex + 1);
        SimWindow w;
        QVERIFY(w.start());
        w.combo(QStringLiteral("Combo2"))->setCurrentIndex(clockIndex);
        // About an hour ahead, in the two-digit form the box keeps.
        const QString startText = QTime::currentTime().addSecs(3600).toString(QStringLiteral("HH:mm:ss"));
        const QTime start = QTime::fromString(startText, QStringLiteral("HH:mm:ss"));
        w.ui.find<QLineEdit>(QStringLiteral("Text18"))->setText(startText);
        const int mark = w.logMark();
        w.click(QStringLiteral("Command3"));
        QCOMPARE(w.messages(), QStringList());

        const LogLineMatch countdown = w.waitForLog(
            logLine(
                QStringLiteral("RX"), QStringLiteral("DDD%1[0-9]{6}").arg(clock),
                QStringLiteral("countdown clock %1 %2 target \\S+ weekday [0-6] %2").arg(clock, kTimeField)),
            mark);
        QVERIFY2(countdown.hasMatch(), "the master clock logged no countdown on the chosen clock");
        // The time from the second the frame left to the start time.
        const QTime arrived = logTime(countdown).time();
        const QTime leftAt(arrived.hour(), arrived.minute(), arrived.second());
        const int remaining =
            QTime(0, 0).secsTo(QTime::fromString(countdown.captured(3), QStringLiteral("HH:mm:ss")));
        QVERIFY2(qAbs(remaining - secondsApart(leftAt, start)) <= 1, qPrintable(countdown.captured(0)));
        QVERIFY2(remaining > 3590 && remaining <= 3600, qPrintable(countdown.captured(0)));
        // The countdown runs out at the typed start time.
        const QTime target = QTime::fromString(countdown.captured(4), QStringLiteral("HH:mm:ss"));
        QVERIFY2(qAbs(secondsApart(start, target)) <= 1, qPrintable(countdown.captured(0)));

        QCOMPARE(w.ui.text(QStringLiteral("Text18")), startText);
        QCOMPARE(w.ui.text(QStringLiteral("Label2")), countdown.captured(2));
        QCOMPARE(w.ui.text(QStringLiteral("Label3")), QString());
    }

    void syncComputerClockFromTimeFrame() {
        SimWindow w;
        QVERIFY(w.start({QStringLiteral("--time-frames"), QStringLiteral("1")}));
        const int mark = w.logMark();
        const qint64 ranMs = w.click(QStringLiteral("Command8"));
        QCOMPARE(w.messages(), QStringList{QStringLiteral("Synchronize success!")});
        QCOMPARE(w.ui.clockSetter.offsetsUs.size(), 1);
        // A time frame comes every second; the command needs no more than one.
        QVERIFY2(ranMs < 2500, qPrintable(QString::number(ranMs)));
        QVERIFY2(w.waitForLog(kTimeFrame, mark).hasMatch(), "the master clock sent no time frame");
        // The simulator keeps the computer's time: the clock hardly moves.
        const qint64 offsetUs = w.ui.clockSetter.offsetsUs.first();
        QVERIFY2(qAbs(offsetUs) < 500'000, qPrintable(QString::number(offsetUs)));
        QCOMPARE(w.ui.text(QStringLiteral("Label2")), QString());
        QCOMPARE(w.ui.text(QStringLiteral("Label3")), QString());
    }

    void syncTakesNoFrameThatWaitedBeforeThePress() {
        SimWindow w;
        QVERIFY(w.start({QStringLiteral("--time-frames"), QStringLiteral("1")}));
        // A time frame reaches the line while the window's thread is busy (the
        // test holds it here); the click is handled right after. The frame was
        // waiting before the command began: the command's first step reads it
        // and ignores it, and only the next frame, a second later, counts.
        const LogLineMatch waiting = w.waitForLog(kTimeFrame, w.logMark());
        QVERIFY2(waiting.hasMatch(), "the master clock sent no time frame");
        w.ui.click(QStringLiteral("Command8"));
        const qint64 endedUs = QDateTime::currentMSecsSinceEpoch() * 1000;
        QCOMPARE(w.messages(), QStringList{QStringLiteral("Synchronize success!")});
        QCOMPARE(w.ui.clockSetter.offsetsUs.size(), 1);
        // It took the next frame, which left a second after the one it ignored.
        const qint64 afterIgnoredUs = endedUs - waiting.captured(1).toLongLong();
        QVERIFY2(afterIgnoredUs > 900'000, qPrintable(QString::number(afterIgnoredUs)));
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
        SimWindow w;
        QVERIFY(w.start());
        const int mark = w.logMark();
        w.click(button);
        QCOMPARE(w.messages(), QStringList());

        const LogLineMatch rmc =
            w.waitForLog(logLine(QStringLiteral("RX"), QStringLiteral("24[0-9A-F]+0D0A"),
                                 QStringLiteral("RMC (\\d{6})\\.123 ([AV]) (\\d{6}) checksum ok")),
                         mark);
        QVERIFY2(rmc.hasMatch(), "the master clock logged no RMC sentence with a good checksum");
        QCOMPARE(rmc.captured(4), status);
        // The computer's time and date of the second the sentence left.
        const QDateTime carried(QDate::fromString(rmc.captured(5), QStringLiteral("ddMMyy")).addYears(100),
                                QTime::fromString(rmc.captured(3), QStringLiteral("HHmmss")));
        expectSentRightAfterBoundary(carried, rmc);

        const QByteArray sent = QByteArray::fromHex(rmc.captured(2).toLatin1());
        QCOMPARE(sent.size(), 70);
        QCOMPARE(w.ui.text(QStringLiteral("Label3")),
                 QStringLiteral("Checksum = ") + QString::fromLatin1(sent.mid(66, 2)));
        // The window shows the sentence with its checksum placeholders.
        QCOMPARE(w.ui.text(QStringLiteral("Label2")),
                 QString::fromLatin1(QByteArray(sent).replace(66, 2, "??")));
    }

    // "每秒发送" ticked: the button's sentence after every boundary, the
    // window responsive in between, until one of the four ends.
    void gpsStreamUntilItEnds_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("end");
        QTest::newRow("button pressed again") << "Command9"
                                              << "A"
                                              << "press again";
        QTest::newRow("box cleared") << "Command10"
                                     << "V"
                                     << "clear the box";
        QTest::newRow("another command") << "Command9"
                                         << "A"
                                         << "set the time";
        QTest::newRow("port closed by a new search") << "Command10"
                                                     << "V"
                                                     << "search";
    }
    void gpsStreamUntilItEnds() {
        QFETCH(QString, button);
        QFETCH(QString, status);
        QFETCH(QString, end);
        SimWindow w;
        QVERIFY(w.start());
        w.ui.find<QCheckBox>(QStringLiteral("CheckEverySecond"))->setChecked(true);
        const int mark = w.logMark();
        const LogLinePattern rmc =
            logLine(QStringLiteral("RX"), QStringLiteral("24[0-9A-F]+0D0A"),
                    QStringLiteral("RMC (\\d{6})\\.123 %1 (\\d{6}) checksum ok").arg(status));
        const auto sentences = [&] {
            w.sim().lines();
            return w.sim().linesMatching(rmc, mark);
        };
        w.click(button);
        // The click returns at once; the sentences come while events run.
        QVERIFY(sentences().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(sentences().size(), 2, 3000);
        QCOMPARE(w.messages(), QStringList());
        // The labels show the latest sentence.
        const QByteArray latest =
            QByteArray::fromHex(sentences().last().section(QLatin1Char(' '), 3, 3).toLatin1());
        QCOMPARE(w.ui.text(QStringLiteral("Label3")),
                 QStringLiteral("Checksum = ") + QString::fromLatin1(latest.mid(66, 2)));
        QCOMPARE(w.ui.text(QStringLiteral("Label2")),
                 QString::fromLatin1(QByteArray(latest).replace(66, 2, "??")));

        if (end == QLatin1String("press again"))
            w.click(button);
        else if (end == QLatin1String("clear the box"))
            w.ui.find<QCheckBox>(QStringLiteral("CheckEverySecond"))->setChecked(false);
        else if (end == QLatin1String("set the time"))
            w.click(QStringLiteral("Command1"));
        else
            w.chooseSearch();
        const int sent = int(sentences().size());
        // No sentence in the next boundary's time.
        QTest::qWait(1200);
        QCOMPARE(sentences().size(), sent);
        QCOMPARE(w.messages(), QStringList());
    }
};

QTEST_MAIN(E2eTimeCommandsTest)
#include "tst_e2e_time_commands.moc"
