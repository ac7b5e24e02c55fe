// When the service sets the master clock by itself: the correction policy
// told of time frames one by one on a fake wall clock and of corrections not
// taken, the window of hours it takes from the command line, and the offsets
// that look like another time zone.
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
        // unsynchronized, ? unknown, h synchronized with the line held; a
        // time before the last one is on the next day.
        QTest::addColumn<QString>("frames");
        // One letter a frame: Wait, Correct, Step too large, Held, Not synchronized, Outside, Too soon.
        QTest::addColumn<QString>("verdicts");
        // One letter a correction: taken (y) or not (n); taken when left out.
        QTest::addColumn<QString>("taken");

        // Three frames 600 ms ahead, a second apart, from `start`.
        const auto beyond = [](const char* start) {
            const QTime first = QTime::fromString(QLatin1String(start), QStringLiteral("hh:mm:ss"));
            QStringList frames;
            for (int i = 0; i < 3; ++i)
                frames << first.addSecs(i).toString(QStringLiteral("hh:mm:ss.zzz")) +
                              QStringLiteral(" 600 s");
            return frames.join(QStringLiteral(", "));
        };
        const QString threeBeyond = beyond("03:00:00");
        QTest::newRow("three frames beyond") << "02:00-04:00" << false << threeBeyond << "WWC" << QString();
        QTest::newRow("behind counts as beyond")
            << "02:00-04:00" << false << "03:00:00.000 -600 s, 03:00:01.000 -600 s, 03:00:02.000 -900 s"
            << "WWC" << QString();
        QTest::newRow("the threshold itself is within")
            << "02:00-04:00" << false << "03:00:00.000 500 s, 03:00:01.000 -500 s, 03:00:02.000 500 s"
            << "WWW" << QString();
        QTest::newRow("a frame within starts the count again")
            << "02:00-04:00" << false
            << "03:00:00.000 600 s, 03:00:01.000 600 s, 03:00:02.000 100 s, 03:00:03.000 600 s, 03:00:04.000 "
               "600 s"
            << "WWWWW" << QString();
        QTest::newRow("10 s between frames, and no more")
            << "02:00-04:00" << false
            << "03:00:00.000 600 s, 03:00:10.000 600 s, 03:00:20.001 600 s, 03:00:30.000 600 s, 03:00:40.000 "
               "600 s"
            << "WWWWC" << QString();
        QTest::newRow("once in ten minutes")
            << "02:00-04:00" << false
            << threeBeyond +
                   ", 03:00:03.000 600 s, 03:00:04.000 600 s, 03:00:05.000 600 s, 03:09:50.000 600 s, "
                   "03:10:00.000 600 s, 03:10:01.000 600 s, 03:10:02.000 600 s"
            << "WWCWWTWWTC" << QString();
        QTest::newRow("never while a command holds the line")
            << "02:00-04:00" << false
            << "03:00:00.000 600 s, 03:00:01.000 600 s, 03:00:02.000 600 h, 03:00:03.000 600 s"
            << "WWHC" << QString();
        QTest::newRow("not while unsynchronized")
            << "02:00-04:00" << false
            << "03:00:00.000 600 u, 03:00:01.000 600 u, 03:00:02.000 600 u, 03:00:03.000 600 s"
            << "WWNC" << QString();
        QTest::newRow("an unknown state is not synchronized")
            << "02:00-04:00" << false << "03:00:00.000 600 ?, 03:00:01.000 600 ?, 03:00:02.000 600 ?"
            << "WWN" << QString();
        QTest::newRow("unsynchronized when told")
            << "02:00-04:00" << true << "03:00:00.000 600 u, 03:00:01.000 600 ?, 03:00:02.000 600 u"
            << "WWC" << QString();
        QTest::newRow("before the window, then in it")
            << "02:00-04:00" << false
            << "01:59:58.000 600 s, 01:59:59.000 600 s, 01:59:59.999 600 s, 02:00:00.000 600 s"
            << "WWOC" << QString();
        QTest::newRow("the window's end is outside")
            << "02:00-04:00" << false << "03:59:58.000 600 s, 03:59:59.000 600 s, 04:00:00.000 600 s"
            << "WWO" << QString();
        QTest::newRow("a window over midnight")
            << "23:00-01:00" << false << "23:59:59.000 600 s, 00:00:00.000 600 s, 00:00:01.000 600 s"
            << "WWC" << QString();
        QTest::newRow("outside a window over midnight")
            << "23:00-01:00" << false << "12:00:00.000 600 s, 12:00:01.000 600 s, 12:00:02.000 600 s"
            << "WWO" << QString();
        QTest::newRow("never a step beyond the largest")
            << "02:00-04:00" << false << "03:00:00.000 60001 s, 03:00:01.000 -60001 s, 03:00:02.000 -60001 h"
            << "WWS" << QString();
        QTest::newRow("a correction not taken doubles the wait, one taken ends it")
            << "00:00-23:00" << false
            << QStringList{beyond("03:00:00"), beyond("03:15:00"), beyond("03:20:00"),
                           beyond("03:50:00"), beyond("04:00:00"), beyond("04:10:00")}
                   .join(QStringLiteral(", "))
            << "WWCWWTWWCWWTWWCWWC"
            << "nnyy";
    }
    void verdicts() {
        QFETCH(QString, window);
        QFETCH(bool, unsynchronizedToo);
        QFETCH(QString, frames);
        QFETCH(QString, verdicts);
        QFETCH(QString, taken);
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
            const auto sync = state == 's' || state == 'h' ? ComputerClockState::Sync::Synchronized
                              : state == 'u'               ? ComputerClockState::Sync::Unsynchronized
                                                           : ComputerClockState::Sync::Unknown;
            given += letters[int(policy.frameSeen(fields[1].toLongLong() * 1000, state == 'h', sync))];
            if (given.endsWith(QLatin1Char('C')))
                policy.correctionTaken(taken.mid(int(given.count(QLatin1Char('C'))) - 1, 1) !=
                                       QLatin1String("n"));
        }
        QCOMPARE(given, verdicts);
    }

    // Ten corrections not taken in a row: the wait stops growing at a day.
    void waitUpToADay() {
        FakeClock clock;
        CorrectionPolicy policy({500'000, *TimeWindow::parse(QStringLiteral("02:00-04:00")), false}, clock);
        QList<qint64> waits;
        for (int i = 0; i < 10; ++i) {
            policy.correctionTaken(false);
            waits << policy.intervalMs() / 60'000;
        }
        QCOMPARE(waits, (QList<qint64>{20, 40, 80, 160, 320, 640, 1280, 1440, 1440, 1440}));
    }

    void quarterHours_data() {
        QTest::addColumn<qint64>("offsetMs");
        QTest::addColumn<int>("quarters"); // 0: none
        QTest::newRow("Beijing time against UTC") << Q_INT64_C(28800009) << 32;
        QTest::newRow("India behind") << Q_INT64_C(-19800000) << -22;
        QTest::newRow("a minute past a quarter") << Q_INT64_C(960000) << 1;
        QTest::newRow("more than a minute past") << Q_INT64_C(960001) << 0;
        QTest::newRow("a day") << Q_INT64_C(86400000) << 96;
        QTest::newRow("seconds") << Q_INT64_C(1500) << 0;
    }
    void quarterHours() {
        QFETCH(qint64, offsetMs);
        QFETCH(int, quarters);
        QCOMPARE(CorrectionPolicy::quarterHoursOf(offsetMs * 1000).value_or(0), quarters);
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
