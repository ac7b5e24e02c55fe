// The simulator's own encoders and decoders on the known bytes that the
// program's tests hold its frames and sentences to.
#include "ClockFrames.h"
#include "KnownBytes.h"
#include "RmcCheck.h"

#include <QTest>

class SimFramesTest : public QObject {
    Q_OBJECT
private slots:
    void timeFrame_data();
    void timeFrame();
    void clockTimeRejects_data();
    void clockTimeRejects();
    void clockNumber_data();
    void clockNumber();
    void rmcChecksum_data();
    void rmcChecksum();
};

void SimFramesTest::timeFrame_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("weekday");
    QTest::addColumn<QByteArray>("frame");
    for (const KnownTimeFrame& known : kTimeFrames)
        QTest::newRow(known.name) << known.date << known.time << known.weekday << known.frame;
}

void SimFramesTest::timeFrame() {
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(int, weekday);
    QFETCH(QByteArray, frame);
    QCOMPARE(ClockFrames::clockTimeFrame({date, time, weekday}).toHex(), frame.toHex());
    const std::optional<DeviceClock::Reading> read = ClockFrames::clockTime(frame);
    QVERIFY(read);
    QCOMPARE(read->date, date);
    QCOMPARE(read->time, time);
    QCOMPARE(read->weekday, weekday);
}

void SimFramesTest::clockTimeRejects_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("month not BCD") << hexBytes("AA00241A0502090745");
    QTest::newRow("30 February") << hexBytes("AA0024023002090745");
    QTest::newRow("weekday 7") << hexBytes("AA0024030507090745");
    QTest::newRow("hour 24") << hexBytes("AA0024030502240000");
    QTest::newRow("eight bytes") << hexBytes("AA00240305020907");
}

void SimFramesTest::clockTimeRejects() {
    QFETCH(QByteArray, frame);
    QVERIFY(!ClockFrames::clockTime(frame));
}

void SimFramesTest::clockNumber_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("expected"); // 0: names no clock
    QTest::newRow("read request clock 1") << hexBytes("BBA1") << 1;
    QTest::newRow("read request clock 2") << hexBytes("BBA2") << 2;
    QTest::newRow("clock 3") << hexBytes("BBA3") << 0;
    QTest::newRow("clock 0") << hexBytes("BBA0") << 0;
    QTest::newRow("settings reply byte") << hexBytes("BBB1") << 0;
    QTest::newRow("write code") << hexBytes("CCA1") << 0;
    QTest::newRow("one byte") << hexBytes("BB") << 0;
}

void SimFramesTest::clockNumber() {
    QFETCH(QByteArray, frame);
    QFETCH(int, expected);
    QCOMPARE(ClockFrames::clockNumber(frame, ClockProtocol::kReadSettings.request).value_or(0), expected);
}

void SimFramesTest::rmcChecksum_data() {
    QTest::addColumn<QByteArray>("sentence");
    QTest::addColumn<QString>("expected");
    for (const KnownRmc& known : kRmcSentences) {
        const QString carried = QStringLiteral("RMC %1.123 %2 %3 ")
                                    .arg(known.time.toString(QStringLiteral("HHmmss")), QChar(known.status),
                                         known.date.toString(QStringLiteral("ddMMyy")));
        QTest::newRow(known.name) << known.bytes << carried + QStringLiteral("checksum ok");
        const QByteArray sent = known.bytes.mid(66, 2);
        QTest::addRow("%s, checksum 7F", known.name)
            << QByteArray(known.bytes).replace(66, 2, "7F")
            << carried + QStringLiteral("checksum bad (sent 7F, computed %1)").arg(QString::fromLatin1(sent));
    }
}

void SimFramesTest::rmcChecksum() {
    QFETCH(QByteArray, sentence);
    QFETCH(QString, expected);
    QCOMPARE(RmcCheck::describe(sentence), expected);
}

QTEST_GUILESS_MAIN(SimFramesTest)
#include "tst_SimFrames.moc"
