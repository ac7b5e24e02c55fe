// The six-byte group record: encoding a row with its flag rules and decoding
// the record a master clock answers with.

#include "schedule/GroupRecord.h"

#include <QtTest>

namespace {

QTime hms(const char* text) {
    const QTime time = QTime::fromString(QLatin1String(text), QStringLiteral("HH:mm:ss"));
    Q_ASSERT(time.isValid());
    return time;
}

const char* stateName(CheckState state) {
    switch (state) {
    case CheckState::Clear:
        return "clear";
    case CheckState::Ticked:
        return "ticked";
    case CheckState::Grey:
        return "grey";
    }
    return "?";
}

} // namespace

class TestGroupRecord : public QObject {
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void encodeLeavesBit7Clear();
    void decode_data();
    void decode();
    void decodeUsesFirstSixBytes();
    void roundTrip_data();
    void roundTrip();
    void rowOffsets();
};

void TestGroupRecord::encode_data() {
    QTest::addColumn<QTime>("refresh");
    QTest::addColumn<QTime>("length");
    QTest::addColumn<CheckState>("valid");
    QTest::addColumn<CheckState>("staticFlag");
    QTest::addColumn<CheckState>("ignoreHours");
    QTest::addColumn<QByteArray>("expected");

    const CheckState clear = CheckState::Clear;
    const CheckState ticked = CheckState::Ticked;
    const CheckState grey = CheckState::Grey;

    QTest::newRow("plain valid row") << hms("07:05:03") << hms("00:30:00") << ticked << clear << clear
                                     << QByteArray::fromHex("070503003000");
    QTest::newRow("last second of the day") << hms("23:59:59") << hms("23:59:59") << ticked << clear << clear
                                            << QByteArray::fromHex("235959235959");
    QTest::newRow("midnight") << hms("00:00:00") << hms("00:00:00") << ticked << clear << clear
                              << QByteArray::fromHex("000000000000");
    QTest::newRow("ignore hours") << hms("07:15:30") << hms("00:30:00") << ticked << clear << ticked
                                  << QByteArray::fromHex("331530003000");
    QTest::newRow("ignore hours, not valid") << hms("07:15:30") << hms("00:30:00") << clear << clear << ticked
                                             << QByteArray::fromHex("731530003000");
    QTest::newRow("not valid") << hms("20:15:00") << hms("00:45:00") << clear << clear << clear
                               << QByteArray::fromHex("601500004500");
    QTest::newRow("not valid, static") << hms("20:15:00") << hms("01:00:00") << clear << ticked << clear
                                       << QByteArray::fromHex("601500410000");
    QTest::newRow("static 11:00:00") << hms("09:30:00") << hms("11:00:00") << ticked << ticked << clear
                                     << QByteArray::fromHex("093000510000");
    QTest::newRow("static 23:00:00") << hms("09:30:00") << hms("23:00:00") << ticked << ticked << clear
                                     << QByteArray::fromHex("093000630000");
    QTest::newRow("not valid at hour 23") << hms("23:00:00") << hms("00:30:00") << clear << clear << clear
                                          << QByteArray::fromHex("630000003000");
    QTest::newRow("all flags set") << hms("21:45:09") << hms("13:08:59") << clear << ticked << ticked
                                   << QByteArray::fromHex("734509530859");
    QTest::newRow("grey valid counts as valid") << hms("10:30:00") << hms("00:30:00") << grey << clear
                                                << clear << QByteArray::fromHex("103000003000");
    QTest::newRow("grey static counts as static") << hms("07:00:00") << hms("08:00:00") << ticked << grey
                                                  << clear << QByteArray::fromHex("070000480000");
    QTest::newRow("grey ignore hours is not ticked") << hms("07:15:30") << hms("00:30:00") << ticked << clear
                                                     << grey << QByteArray::fromHex("071530003000");
    QTest::newRow("grey ignore hours, not valid") << hms("07:15:30") << hms("00:30:00") << clear << clear
                                                  << grey << QByteArray::fromHex("471530003000");
}

void TestGroupRecord::encode() {
    QFETCH(QTime, refresh);
    QFETCH(QTime, length);
    QFETCH(CheckState, valid);
    QFETCH(CheckState, staticFlag);
    QFETCH(CheckState, ignoreHours);
    QFETCH(QByteArray, expected);

    const QByteArray record = GroupRecord::encode(refresh, length, valid, staticFlag, ignoreHours);
    QCOMPARE(record.toHex(), expected.toHex());
}

void TestGroupRecord::encodeLeavesBit7Clear() {
    const CheckState states[] = {CheckState::Clear, CheckState::Ticked, CheckState::Grey};
    for (CheckState valid : states) {
        for (CheckState staticFlag : states) {
            for (CheckState ignoreHours : states) {
                const QByteArray record =
                    GroupRecord::encode(hms("23:59:59"), hms("23:59:59"), valid, staticFlag, ignoreHours);
                QVERIFY2(
                    (quint8(record[0]) & 0x80) == 0 && (quint8(record[3]) & 0x80) == 0,
                    qPrintable(QStringLiteral("%1 %2 %3 -> %4")
                                   .arg(QLatin1String(stateName(valid)), QLatin1String(stateName(staticFlag)),
                                        QLatin1String(stateName(ignoreHours)),
                                        QString::fromLatin1(record.toHex()))));
            }
        }
    }
}

void TestGroupRecord::decode_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<CheckState>("valid");
    QTest::addColumn<QString>("refresh");
    QTest::addColumn<CheckState>("ignoreHours");
    QTest::addColumn<CheckState>("staticFlag");
    QTest::addColumn<QString>("length");

    const CheckState clear = CheckState::Clear;
    const CheckState ticked = CheckState::Ticked;

    QTest::newRow("ignore hours, not valid, static")
        << QByteArray::fromHex("731530410030") << clear << QStringLiteral("00:15:30") << ticked << ticked
        << QStringLiteral("01:00:30");
    QTest::newRow("plain") << QByteArray::fromHex("083000004500") << ticked << QStringLiteral("08:30:00")
                           << clear << clear << QStringLiteral("00:45:00");
    QTest::newRow("bit 7 set on bytes 0 and 3")
        << QByteArray::fromHex("883000804500") << ticked << QStringLiteral("08:30:00") << clear << clear
        << QStringLiteral("00:45:00");
    QTest::newRow("bit 7 set, ignore hours, not valid, static")
        << QByteArray::fromHex("f31530c10030") << clear << QStringLiteral("00:15:30") << ticked << ticked
        << QStringLiteral("01:00:30");
    QTest::newRow("bit 7 set, ignore hours, valid")
        << QByteArray::fromHex("b31530010030") << ticked << QStringLiteral("00:15:30") << ticked << clear
        << QStringLiteral("01:00:30");
    QTest::newRow("ignore hours, valid")
        << QByteArray::fromHex("335959000000") << ticked << QStringLiteral("00:59:59") << ticked << clear
        << QStringLiteral("00:00:00");
    QTest::newRow("not valid at hour 23")
        << QByteArray::fromHex("632359632359") << clear << QStringLiteral("23:23:59") << clear << ticked
        << QStringLiteral("23:23:59");
    QTest::newRow("not BCD shown as hex")
        << QByteArray::fromHex("1a2b3c0f00ff") << ticked << QStringLiteral("1A:2B:3C") << clear << clear
        << QStringLiteral("0F:00:FF");
    QTest::newRow("all bits set") << QByteArray::fromHex("ffffffffffff") << clear
                                  << QStringLiteral("3F:FF:FF") << clear << ticked
                                  << QStringLiteral("3F:FF:FF");
}

void TestGroupRecord::decode() {
    QFETCH(QByteArray, record);
    QFETCH(CheckState, valid);
    QFETCH(QString, refresh);
    QFETCH(CheckState, ignoreHours);
    QFETCH(CheckState, staticFlag);
    QFETCH(QString, length);

    const GroupRow row = GroupRecord::decode(record);
    QCOMPARE(stateName(row.Valid), stateName(valid));
    QCOMPARE(row.RefreshTime, refresh);
    QCOMPARE(stateName(row.IgnoreHours), stateName(ignoreHours));
    QCOMPARE(stateName(row.StaticFlag), stateName(staticFlag));
    QCOMPARE(row.CountdownLength, length);
    QVERIFY(row.StartTime.isEmpty());
}

void TestGroupRecord::decodeUsesFirstSixBytes() {
    // A record is read out of a 50-byte answer at its row's offset.
    QByteArray reply = QByteArray::fromHex("bbb1") + QByteArray(48, '\0');
    reply.replace(GroupRecord::offsetOfRow(8), GroupRecord::kSize, QByteArray::fromHex("083000004500"));
    const GroupRow row = GroupRecord::decode(reply.mid(GroupRecord::offsetOfRow(8)));
    QCOMPARE(row.RefreshTime, QStringLiteral("08:30:00"));
    QCOMPARE(row.CountdownLength, QStringLiteral("00:45:00"));

    const GroupRow longer = GroupRecord::decode(QByteArray::fromHex("083000004500ffffff"));
    QCOMPARE(longer.RefreshTime, QStringLiteral("08:30:00"));
    QCOMPARE(longer.CountdownLength, QStringLiteral("00:45:00"));
}

void TestGroupRecord::roundTrip_data() {
    QTest::addColumn<CheckState>("valid");
    QTest::addColumn<CheckState>("staticFlag");
    QTest::addColumn<CheckState>("ignoreHours");

    const CheckState states[] = {CheckState::Clear, CheckState::Ticked};
    for (CheckState valid : states)
        for (CheckState staticFlag : states)
            for (CheckState ignoreHours : states)
                QTest::addRow("valid %s, static %s, ignore hours %s", stateName(valid), stateName(staticFlag),
                              stateName(ignoreHours))
                    << valid << staticFlag << ignoreHours;
}

void TestGroupRecord::roundTrip() {
    QFETCH(CheckState, valid);
    QFETCH(CheckState, staticFlag);
    QFETCH(CheckState, ignoreHours);

    const GroupRow row = GroupRecord::decode(
        GroupRecord::encode(hms("21:45:09"), hms("13:08:59"), valid, staticFlag, ignoreHours));
    QCOMPARE(stateName(row.Valid), stateName(valid));
    QCOMPARE(stateName(row.StaticFlag), stateName(staticFlag));
    QCOMPARE(stateName(row.IgnoreHours), stateName(ignoreHours));
    // With hours ignored the refresh hours are not sent and come back as 00.
    QCOMPARE(row.RefreshTime,
             ignoreHours == CheckState::Ticked ? QStringLiteral("00:45:09") : QStringLiteral("21:45:09"));
    QCOMPARE(row.CountdownLength, QStringLiteral("13:08:59"));
}

void TestGroupRecord::rowOffsets() {
    QCOMPARE(GroupRecord::offsetOfRow(1), 2);
    QCOMPARE(GroupRecord::offsetOfRow(5), 26);
    QCOMPARE(GroupRecord::offsetOfRow(8) + GroupRecord::kSize, 50);
}

QTEST_GUILESS_MAIN(TestGroupRecord)
#include "tst_grouprecord.moc"
