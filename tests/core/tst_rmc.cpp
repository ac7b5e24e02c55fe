// The RMC sentence that stands in for a GPS receiver: every byte, the
// checksum and the text shown on the window.

#include "KnownBytes.h"
#include "gps/RmcSentence.h"

#include <QtTest>

class TestRmc : public QObject {
    Q_OBJECT

private slots:
    void sentence_data();
    void sentence();
    void statusChangesOnlyOneByteAndTheChecksum_data();
    void statusChangesOnlyOneByteAndTheChecksum();
};

void TestRmc::sentence_data() {
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<char>("status");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("checksum");

    for (const KnownRmc& known : kRmcSentences)
        QTest::newRow(known.name) << known.time << known.date << known.status << known.bytes
                                  << QString::fromLatin1(known.bytes.mid(66, 2));
    QTest::newRow("milliseconds ignored") << QTime(12, 34, 56, 789) << QDate(2026, 12, 6) << 'A'
                                          << QByteArray("$GPRMC,123456.123,A,3114.1296,N,12128.0253,E,000.0,"
                                                        "000.0,061226,,*02\r\n")
                                          << QStringLiteral("02");
}

void TestRmc::sentence() {
    QFETCH(QTime, time);
    QFETCH(QDate, date);
    QFETCH(char, status);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, checksum);

    const RmcSentence rmc = RmcSentence::build(time, date, status);
    QCOMPARE(rmc.bytes, bytes);
    QCOMPARE(rmc.checksum, checksum);

    QCOMPARE(rmc.bytes.size(), 70);
    QCOMPARE(rmc.bytes.at(65), '*');
    QCOMPARE(rmc.bytes.mid(66, 2), checksum.toLatin1());
    QVERIFY(rmc.bytes.endsWith("\r\n"));

    // The shown text keeps its placeholders; everything else is the same.
    QByteArray expectedText = bytes;
    expectedText.replace(66, 2, "??");
    QCOMPARE(rmc.text, QString::fromLatin1(expectedText));
}

void TestRmc::statusChangesOnlyOneByteAndTheChecksum_data() {
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QDate>("date");

    QTest::newRow("example second") << QTime(12, 34, 56) << QDate(2026, 12, 6);
    QTest::newRow("midnight") << QTime(0, 0, 0) << QDate(2027, 1, 1);
    QTest::newRow("leap day") << QTime(7, 8, 9) << QDate(2028, 2, 29);
}

void TestRmc::statusChangesOnlyOneByteAndTheChecksum() {
    QFETCH(QTime, time);
    QFETCH(QDate, date);

    const RmcSentence valid = RmcSentence::build(time, date, 'A');
    const RmcSentence invalid = RmcSentence::build(time, date, 'V');
    QCOMPARE(valid.bytes.size(), invalid.bytes.size());

    QList<int> differing;
    for (int i = 0; i < valid.bytes.size(); ++i) {
        if (valid.bytes[i] != invalid.bytes[i] && i != 66 && i != 67)
            differing << i;
    }
    QCOMPARE(differing, QList<int>{18});
    QCOMPARE(valid.bytes.at(18), 'A');
    QCOMPARE(invalid.bytes.at(18), 'V');

    bool ok = false;
    const int a = valid.checksum.toInt(&ok, 16);
    QVERIFY(ok);
    const int v = invalid.checksum.toInt(&ok, 16);
    QVERIFY(ok);
    QCOMPARE(a ^ v, 0x17);
}

QTEST_GUILESS_MAIN(TestRmc)
#include "tst_rmc.moc"
