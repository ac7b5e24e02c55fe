// The wait for the next second boundary, against a clock that only moves when
// the wait sleeps, and whose naps may end late.

#include "protocol/SecondBoundary.h"
#include "protocol/WallClock.h"

#include <QtTest>
#include <algorithm>

namespace {

using std::chrono::microseconds;

// Stands still between sleeps; a sleep moves it forward by the time asked for,
// at least 100 microseconds, and a nap (a sleep of some time) by `lateness`
// more. Notes every reading and how far it was watched in sleeps of no time.
class SteppingClock : public WallClock {
public:
    SteppingClock(const QDateTime& start, microseconds lateness)
        : m_us(start.toMSecsSinceEpoch() * 1000), m_lateness(lateness) {}

    QDateTime now() const override {
        m_readings.append(QDateTime::fromMSecsSinceEpoch(m_us / 1000, Qt::UTC));
        return m_readings.last();
    }
    qint64 epochMicroseconds() const override { return m_us; }
    void sleepFor(microseconds duration) override {
        if (duration.count() == 0)
            m_watchedUs += 100;
        m_us += std::max<qint64>(duration.count(), 100) + (duration.count() > 0 ? m_lateness.count() : 0);
    }

    qint64 watchedMicroseconds() const { return m_watchedUs; }
    const QList<QDateTime>& readings() const { return m_readings; }
    QDateTime peek() const { return QDateTime::fromMSecsSinceEpoch(m_us / 1000, Qt::UTC); }

private:
    qint64 m_us;
    microseconds m_lateness;
    qint64 m_watchedUs = 0;
    mutable QList<QDateTime> m_readings;
};

QDateTime at(int year, int month, int day, int h, int m, int s, int ms) {
    return QDateTime(QDate(year, month, day), QTime(h, m, s, ms), Qt::UTC);
}

} // namespace

class TestSecondBoundary : public QObject {
    Q_OBJECT

private slots:
    void returnsFirstReadingOfNextSecond_data();
    void returnsFirstReadingOfNextSecond();
};

void TestSecondBoundary::returnsFirstReadingOfNextSecond_data() {
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<int>("lateUs");
    QTest::addColumn<int>("marker");
    QTest::addColumn<QDateTime>("boundary");

    QTest::newRow("mid second") << at(2024, 3, 5, 9, 7, 44, 600) << 0 << 44 << at(2024, 3, 5, 9, 7, 45, 0);
    QTest::newRow("start of a second")
        << at(2024, 3, 5, 9, 7, 44, 0) << 0 << 44 << at(2024, 3, 5, 9, 7, 45, 0);
    QTest::newRow("last millisecond")
        << at(2024, 3, 5, 9, 7, 44, 999) << 0 << 44 << at(2024, 3, 5, 9, 7, 45, 0);
    QTest::newRow("into the next minute")
        << at(2024, 3, 5, 9, 7, 59, 250) << 0 << 59 << at(2024, 3, 5, 9, 8, 0, 0);
    QTest::newRow("across midnight") << at(2024, 3, 5, 23, 59, 59, 400) << 0 << 59
                                     << at(2024, 3, 6, 0, 0, 0, 0);
    QTest::newRow("across the year") << at(2026, 12, 31, 23, 59, 59, 1) << 0 << 59
                                     << at(2027, 1, 1, 0, 0, 0, 0);
    // An idle virtual CPU, and one whose every wake waits for a scheduler tick.
    QTest::newRow("naps 1.4 ms late")
        << at(2024, 3, 5, 9, 7, 44, 3) << 1400 << 44 << at(2024, 3, 5, 9, 7, 45, 0);
    QTest::newRow("naps 3.9 ms late")
        << at(2024, 3, 5, 9, 7, 44, 3) << 3900 << 44 << at(2024, 3, 5, 9, 7, 45, 0);
    QTest::newRow("late, 30 ms before")
        << at(2024, 3, 5, 9, 7, 44, 970) << 3900 << 44 << at(2024, 3, 5, 9, 7, 45, 0);
}

void TestSecondBoundary::returnsFirstReadingOfNextSecond() {
    QFETCH(QDateTime, start);
    QFETCH(int, lateUs);
    QFETCH(int, marker);
    QFETCH(QDateTime, boundary);

    SteppingClock clock(start, microseconds(lateUs));
    WakeLateness lateness;
    int secondMarker = -1;
    const QDateTime reading = waitForNextSecond(clock, secondMarker, lateness);

    QCOMPARE(secondMarker, marker);
    // Naps as late as the first one measured still end before the boundary.
    QCOMPARE(reading, boundary);
    // It leaves on the reading that saw the new second: no sleep after it.
    QCOMPARE(clock.peek(), reading);
    const QList<QDateTime>& readings = clock.readings();
    QVERIFY(!readings.isEmpty());
    QCOMPARE(readings.last(), reading);
    for (qsizetype i = 0; i + 1 < readings.size(); ++i)
        QVERIFY2(readings[i].time().second() == marker, qPrintable(readings[i].toString(Qt::ISODateWithMs)));

    // It naps through the second instead of spinning on the clock: it watches
    // the clock only for the window the naps' lateness calls for.
    const qint64 window =
        std::clamp(lateUs + WakeLateness::kMargin.count(), WakeLateness::kSmallestWindow.count(),
                   WakeLateness::kLargestWindow.count());
    QVERIFY2(clock.watchedMicroseconds() <= window,
             qPrintable(
                 QStringLiteral("watched %1 us, window %2 us").arg(clock.watchedMicroseconds()).arg(window)));
}

QTEST_GUILESS_MAIN(TestSecondBoundary)
#include "tst_secondboundary.moc"
