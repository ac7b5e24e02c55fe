// The wait for the next second boundary, against a clock that only moves when
// the wait sleeps.

#include "protocol/SecondBoundary.h"
#include "protocol/WallClock.h"

#include <QtTest>
#include <algorithm>

namespace {

// Stands still between sleeps; a sleep moves it forward by the time asked for,
// at least 100 microseconds. Counts the sleeps and notes every reading.
class SteppingClock : public WallClock {
public:
    explicit SteppingClock(const QDateTime& start) : m_now(start) {}

    QDateTime now() const override {
        m_readings.append(m_now);
        return m_now;
    }
    void sleepFor(std::chrono::microseconds duration) override {
        const std::int64_t step = std::max<std::int64_t>(duration.count(), 100);
        ++m_sleeps;
        m_requested += duration.count();
        m_micros += step;
        m_now = m_now.addMSecs(m_micros / 1000);
        m_micros %= 1000;
    }

    int sleeps() const { return m_sleeps; }
    std::int64_t requestedMicroseconds() const { return m_requested; }
    const QList<QDateTime>& readings() const { return m_readings; }
    QDateTime peek() const { return m_now; }

private:
    QDateTime m_now;
    mutable QList<QDateTime> m_readings;
    std::int64_t m_micros = 0;
    std::int64_t m_requested = 0;
    int m_sleeps = 0;
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
    QTest::addColumn<int>("marker");
    QTest::addColumn<QDateTime>("boundary");

    QTest::newRow("mid second") << at(2024, 3, 5, 9, 7, 44, 600) << 44 << at(2024, 3, 5, 9, 7, 45, 0);
    QTest::newRow("start of a second") << at(2024, 3, 5, 9, 7, 44, 0) << 44 << at(2024, 3, 5, 9, 7, 45, 0);
    QTest::newRow("last millisecond") << at(2024, 3, 5, 9, 7, 44, 999) << 44 << at(2024, 3, 5, 9, 7, 45, 0);
    QTest::newRow("into the next minute")
        << at(2024, 3, 5, 9, 7, 59, 250) << 59 << at(2024, 3, 5, 9, 8, 0, 0);
    QTest::newRow("across midnight") << at(2024, 3, 5, 23, 59, 59, 400) << 59 << at(2024, 3, 6, 0, 0, 0, 0);
    QTest::newRow("across the year") << at(2026, 12, 31, 23, 59, 59, 1) << 59 << at(2027, 1, 1, 0, 0, 0, 0);
}

void TestSecondBoundary::returnsFirstReadingOfNextSecond() {
    QFETCH(QDateTime, start);
    QFETCH(int, marker);
    QFETCH(QDateTime, boundary);

    SteppingClock clock(start);
    int secondMarker = -1;
    const QDateTime reading = waitForNextSecond(clock, secondMarker);

    QCOMPARE(secondMarker, marker);
    QCOMPARE(reading, boundary);
    // It leaves on the reading that saw the new second: no sleep after it.
    QCOMPARE(clock.peek(), reading);
    const QList<QDateTime>& readings = clock.readings();
    QVERIFY(!readings.isEmpty());
    QCOMPARE(readings.last(), reading);
    for (qsizetype i = 0; i + 1 < readings.size(); ++i)
        QVERIFY2(readings[i].time().second() == marker, qPrintable(readings[i].toString(Qt::ISODateWithMs)));

    // It sleeps through the second instead of spinning on the clock: the time
    // asked for covers all but the last few milliseconds, in a few dozen calls
    // at most even when each sleep only moves the clock by 100 microseconds.
    const std::int64_t untilBoundary = start.msecsTo(boundary) * 1000;
    QVERIFY2(clock.requestedMicroseconds() >= untilBoundary - 3000,
             qPrintable(QStringLiteral("asked to sleep %1 us of %2 us")
                            .arg(clock.requestedMicroseconds())
                            .arg(untilBoundary)));
    QVERIFY2(clock.sleeps() <= 40, qPrintable(QStringLiteral("%1 sleeps").arg(clock.sleeps())));
}

QTEST_GUILESS_MAIN(TestSecondBoundary)
#include "tst_secondboundary.moc"
