// A time frame as a sample for chronyd's SOCK reference clock: the exact 40
// bytes, the moment in UTC through the computer's time zone (Europe/Berlin,
// set for this test) on both sides of the end of summer time, and no sample
// from a master clock more than 10 s off.
#include "serial/LineSettings.h"
#include "service/ChronySample.h"

#include <QDataStream>
#include <QTest>

class ChronySampleTest : public QObject {
    Q_OBJECT

private slots:
    void sample_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<qint64>("arrivalMs"); // the frame's last byte, since 1970 UTC
        QTest::addColumn<qint64>("seconds");   // tv; negative: no sample
        QTest::addColumn<qint64>("microseconds");
        QTest::addColumn<qint64>("offsetUs");
        // At 9600 baud the frame's nine bytes take 9375 microseconds on the line.
        QTest::newRow("1.5 s ahead") << QByteArray("AA0026120802093000") << Q_INT64_C(1796718598509)
                                     << Q_INT64_C(1796718598) << Q_INT64_C(499625) << Q_INT64_C(1500375);
        QTest::newRow("summer time's last 02:30")
            << QByteArray("AA0026102500023000") << Q_INT64_C(1792888200010) << Q_INT64_C(1792888200)
            << Q_INT64_C(625) << Q_INT64_C(-625);
        QTest::newRow("winter time's first 02:30")
            << QByteArray("AA0026102500023000") << Q_INT64_C(1792891800010) << Q_INT64_C(1792891800)
            << Q_INT64_C(625) << Q_INT64_C(-625);
        QTest::newRow("beyond 10 s") << QByteArray("AA0026120802093011") << Q_INT64_C(1796718598509)
                                     << Q_INT64_C(-1) << Q_INT64_C(0) << Q_INT64_C(0);
    }
    void sample() {
        QFETCH(QByteArray, frame);
        QFETCH(qint64, arrivalMs);
        QFETCH(qint64, seconds);
        QFETCH(qint64, microseconds);
        QFETCH(qint64, offsetUs);
        const LineSettings line{9600, 'n', 8, 1};
        TimeFrameMonitor monitor;
        const std::optional<TimeFrameMonitor::Sighting> sighting =
            monitor.feed(QByteArray::fromHex(frame), QDateTime::fromMSecsSinceEpoch(arrivalMs), line);
        QVERIFY(sighting);
        const std::optional<QByteArray> sample = ChronySample::of(*sighting, line);
        QCOMPARE(bool(sample), seconds >= 0);
        if (!sample)
            return;
        QByteArray expected;
        QDataStream out(&expected, QIODevice::WriteOnly);
        out.setByteOrder(QDataStream::LittleEndian);
        out << seconds << microseconds << double(offsetUs) / 1e6 << qint32(0) << qint32(0) << qint32(0)
            << qint32(0x534f434b);
        QCOMPARE(sample->toHex(' '), expected.toHex(' '));
    }
};

QTEST_GUILESS_MAIN(ChronySampleTest)
#include "tst_chrony_sample.moc"
