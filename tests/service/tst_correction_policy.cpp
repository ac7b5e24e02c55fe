// When the service sets the master clock by itself: the correction policy
// told of time frames one by one on a fake wall clock, and the window of
// hours it takes from the command line.
#include "FakeClock.h"
#include "service/CorrectionPolicy.h"

#include <QTest>

class CorrectionPolicyTest : public QObject {
    Q_OBJECT

private slots:
    void verdicts_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<bool>("unsynchronizedToo");
        // Each frame "hh:mm:ss.zzz offsetMs state", state s synchronized, u
        // unsynchronized, ? unknown, h synchronized with the line held, n
        // synchronized and a correction made now not taken; a time before the
        // last one is on the next day.
        QTest::addColumn<QString>("frames");
        // One letter a frame: Wait, Correct, Step too large, Held, Not synchronized, Outside, Too soon.
        QTest::addColumn<QString>("verdicts");
        // Three frames 600 ms ahead from hh:mm:00, a second apart, the last in `state`.
        const auto beyond = [](const char* hhmm, char state) {
            return QStringLiteral("%1:00.000 600 s, %1:01.000 600 s, %1:02.000 600 %2").arg(hhmm).arg(state);
        };

        const QString threeBeyond = "03:00:00.000 600 s, 03:00:01.000 600 s, 03:00:02.000 600 s";
        QTest::newRow("three frames beyond") << "02:00-04:00" << false << threeBeyond << "WWC";
        QTest::newRow("behind counts as beyond")
            << "02:00-04:00" << false << "03:00:00.000 -600 s, 03:00:01.000 -600 s, 03:00:02.000 -900 s"
            << "WWC";
        QTest::newRow("the threshold itself is within")
            << "02:00-04:00" << false << "03:00:00.000 500 s, 03:00:01.000 -500 s, 03:00:02.000 500 s"
            << "WWW";
        QTest::newRow("a frame within starts the count again")
            << "02:00-04:00" << false
            << "03:00:00.000 600 s, 03:00:01.000 600 s, 03:00:02.000 100 s, 03:00:03.000 600 s, 03:00:04.000 "
               "600 s"
            << "WWWWW";
        QTest::newRow("10 s between frames, and no more")
            << "02:00-04:00" << false
            << "03:00:00.000 600 s, 03:00:10.000 600 s, 03:00:20.001 600 s, 03:00:30.000 600 s, 03:00:40.000 "
               "600 s"
            << "WWWWC";
        QTest::newRow("once in ten minutes")
            << "02:00-04:00" << false
            << threeBeyond +
                   ", 03:00:03.000 600 s, 03:00:04.000 600 s, 03:00:05.000 600 s, 03:09:50.000 600 s, "
                   "03:10:00.000 600 s, 03:10:01.000 600 s, 03:10:02.000 600 s"
            << "WWCWWTWWTC";
        QTest::newRow("never while a command holds the line")
            << "02:00-04:00" << false
            << "03:00:00.000 600 s, 03:00:01.000 600 s, 03:00:02.000 600 h, 03:00:03.000 600 s"
            << "WWHC";
        QTest::newRow("not while unsynchronized")
            << "02:00-04:00" << false
            << "03:00:00.000 600 u, 03:00:01.000 600 u, 03:00:02.000 600 u, 03:00:03.000 600 s"
            << "WWNC";
        QTest::newRow("an unknown state is not synchronized")
            << "02:00-04:00" << false << "03:00:00.000 600 ?, 03:00:01.000 600 ?, 03:00:02.000 600 ?"
            << "WWN";
        QTest::newRow("unsynchronized when told")
            << "02:00-04:00" << true << "03:00:00.000 600 u, 03:00:01.000 600 ?, 03:00:02.000 600 u"
            << "WWC";
        QTest::newRow("before the window, then in it")
            << "02:00-04:00" << false
            << "01:59:58.000 600 s, 01:59:59.000 600 s, 01:59:59.999 600 s, 02:00:00.000 600 s"
            << "WWOC";
        QTest::newRow("the window's end is outside")
            << "02:00-04:00" << false << "03:59:58.000 600 s, 03:59:59.000 600 s, 04:00:00.000 600 s"
            << "WWO";
        QTest::newRow("a window over midnight")
            << "23:00-01:00" << false << "23:59:59.000 600 s, 00:00:00.000 600 s, 00:00:01.000 600 s"
            << "WWC";
        QTest::newRow("outside a window over midnight")
            << "23:00-01:00" << false << "12:00:00.000 600 s, 12:00:01.000 600 s, 12:00:02.000 600 s"
            << "WWO";
        QTest::newRow("never a step beyond the largest")
            << "02:00-04:00" << false << "03:00:00.000 60001 s, 03:00:01.000 -60001 s, 03:00:02.000 -60001 h"
            << "WWS";
        QTest::newRow("a correction not taken doubles the wait, one taken ends it")
            << "00:00-23:00" << false
            << QStringList{beyond("03:00", 'n'), beyond("03:15", 's'), beyond("03:20", 'n'),
                           beyond("03:50", 's'), beyond("04:00", 's'), beyond("04:10", 's')}
                   .join(", ")
            << "WWCWWTWWCWWTWWCWWC";
    }
    void verdicts() {
        QFETCH(QString, window);
        QFETCH(bool, unsynchronizedToo);
        QFETCH(QString, frames);
        QFETCH(QString, verdicts);
        FakeClock clock;
        CorrectionPolicy policy({500'000, *TimeWindow::parse(window), unsynchronizedToo}, clock);
        const QString letters = QStringLiteral("WCSHNOT");
        QDateTime now(QDate(2026, 3, 5), QTime(0, 0));
        QString given;
        for (const QString& frame : frames.split(QStringLiteral(", "))) {
            const QStringList fields = frame.split(QLatin1Char(' '));
            const QTime time = QTime::fromString(fields[0], QStringLiteral("hh:mm:ss.zzz"));
            now = QDateTime(time < now.time() ? now.date().addDays(1) : now.date(), time);
            clock.set(now);
            const QChar state = fields[2].front();
            const auto sync = state == 's' || state == 'h' || state == 'n'
                                  ? ComputerClockState::Sync::Synchronized
                              : state == 'u' ? ComputerClockState::Sync::Unsynchronized
                                             : ComputerClockState::Sync::Unknown;
            given += letters[int(policy.frameSeen(fields[1].toLongLong() * 1000, state == 'h', sync))];
            if (given.endsWith(QLatin1Char('C')))
                policy.correctionTaken(state != 'n');
        }
        QCOMPARE(given, verdicts);
    }

    void waitGrowsUpToADay() {
        FakeClock clock;
        CorrectionPolicy policy({500'000, *TimeWindow::parse(QStringLiteral("02:00-04:00")), false}, clock);
        QList<qint64> minutes;
        for (int i = 0; i < 9; ++i, policy.correctionTaken(false))
            minutes << policy.intervalMs() / 60'000;
        QCOMPARE(minutes, (QList<qint64>{10, 20, 40, 80, 160, 320, 640, 1280, 1440}));
    }

    void windows_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // empty: refused
        QTest::newRow("hours") << "02:00-04:30"
                               << "02:00-04:30";
        QTest::newRow("over midnight") << "23:00-1:5"
                                       << "23:00-01:05";
        QTest::newRow("with seconds") << "02:00:30-04:00"
                                      << "02:00:30-04:00";
        QTest::newRow("one time") << "02:00"
                                  << "";
        QTest::newRow("three times") << "02:00-03:00-04:00"
                                     << "";
        QTest::newRow("no hour 24") << "22:00-24:00"
                                    << "";
        QTest::newRow("equal ends, no time at all") << "03:00-03:00"
                                                    << "";
        QTest::newRow("no time") << "night"
                                 << "";
    }
    void windows() {
        QFETCH(QString, text);
        QFETCH(QString, read);
        const std::optional<TimeWindow> window = TimeWindow::parse(text);
        QCOMPARE(window ? window->text() : QString(), read);
    }
};

QTEST_GUILESS_MAIN(CorrectionPolicyTest)
#include "tst_correction_policy.moc"
