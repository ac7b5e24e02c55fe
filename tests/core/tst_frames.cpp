// Frames sent to and answers read from the master clock: the two-digit rule,
// hex texts and the exact bytes of every frame the tool builds.

#include "KnownBytes.h"
#include "common/RuntimeError.h"
#include "protocol/Frames.h"
#include "schedule/FormDefaults.h"

#include <QtTest>
#include <functional>
#include <optional>

namespace {

int errorNumberOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RuntimeError& error) {
        return error.code();
    }
    return 0;
}

} // namespace

class TestFrames : public QObject {
    Q_OBJECT

private slots:
    void twoDigit_data();
    void twoDigit();
    void byteText_data();
    void byteText();
    void hexText();

    void setTimeFrame_data();
    void setTimeFrame();
    void setTimeFrameFromShortText();

    void countdownFrame_data();
    void countdownFrame();

    void clockByte_data();
    void clockByte();
    void noClockSelectedIsOverflow();

    void readRequest_data();
    void readRequest();

    void writeFrameOfFormDefaults();
    void writeFrameForClockTwo();

    void answeredClockIndex_data();
    void answeredClockIndex();

    void clockTimeText_data();
    void clockTimeText();
};

void TestFrames::twoDigit_data() {
    QTest::addColumn<QChar>("tens");
    QTest::addColumn<QChar>("units");
    QTest::addColumn<int>("expected");

    QTest::newRow("4 5") << QChar(u'4') << QChar(u'5') << 0x45;
    QTest::newRow("0 9") << QChar(u'0') << QChar(u'9') << 0x09;
    QTest::newRow("9 9") << QChar(u'9') << QChar(u'9') << 0x99;
    QTest::newRow("0 0") << QChar(u'0') << QChar(u'0') << 0x00;
    QTest::newRow("blank 9") << QChar(u' ') << QChar(u'9') << 0x09;
    QTest::newRow("colon 9") << QChar(u':') << QChar(u'9') << 0x09;
    QTest::newRow("dash 9") << QChar(u'-') << QChar(u'9') << 0x09;
    QTest::newRow("2 colon") << QChar(u'2') << QChar(u':') << 0x20;
    QTest::newRow("hex letter") << QChar(u'A') << QChar(u'1') << 0x01;
    QTest::newRow("fullwidth digit") << QChar(0xFF11) << QChar(u'2') << 0x02;
    QTest::newRow("null chars") << QChar() << QChar() << 0x00;
}

void TestFrames::twoDigit() {
    QFETCH(QChar, tens);
    QFETCH(QChar, units);
    QFETCH(int, expected);
    QCOMPARE(int(Frames::twoDigit(tens, units)), expected);
}

void TestFrames::byteText_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("expected");

    QTest::newRow("00") << 0x00 << QStringLiteral("00");
    QTest::newRow("0F") << 0x0F << QStringLiteral("0F");
    QTest::newRow("05") << 0x05 << QStringLiteral("05");
    QTest::newRow("45") << 0x45 << QStringLiteral("45");
    QTest::newRow("1A") << 0x1A << QStringLiteral("1A");
    QTest::newRow("DD") << 0xDD << QStringLiteral("DD");
    QTest::newRow("FF") << 0xFF << QStringLiteral("FF");
}

void TestFrames::byteText() {
    QFETCH(int, byte);
    QFETCH(QString, expected);
    QCOMPARE(Frames::byteText(quint8(byte)), expected);
}

void TestFrames::hexText() {
    QCOMPARE(Frames::hexText(QByteArray::fromHex("aa0024030502090745")),
             QStringLiteral("AA0024030502090745"));
    QCOMPARE(Frames::hexText(QByteArray::fromHex("ddd1004430")), QStringLiteral("DDD1004430"));
    QCOMPARE(Frames::hexText(QByteArray()), QString());
}

void TestFrames::setTimeFrame_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("frameText");
    QTest::addColumn<QByteArray>("frame");

    for (const KnownTimeFrame& known : kTimeFrames)
        QTest::newRow(known.name) << known.date << known.time << QString::fromLatin1(known.frameText)
                                  << known.frame;
    QTest::newRow("milliseconds dropped")
        << QDate(2024, 3, 5) << QTime(9, 7, 45, 999) << QStringLiteral("2024-03-05,2,09:07:45")
        << QByteArray::fromHex("aa0024030502090745");
}

void TestFrames::setTimeFrame() {
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(QString, frameText);
    QFETCH(QByteArray, frame);

    const QString text = Frames::setTimeFrameText(date, time);
    QCOMPARE(text, frameText);
    QCOMPARE(text.size(), 21);
    const QByteArray bytes = Frames::setTimeFrame(text);
    QCOMPARE(bytes, frame);
    QCOMPARE(Frames::hexText(bytes).size(), 18);
}

void TestFrames::setTimeFrameFromShortText() {
    // Missing characters count as non-digits: zero-filled fields, no fault.
    QCOMPARE(Frames::setTimeFrame(QString()), QByteArray::fromHex("aa0000000000000000"));
    QCOMPARE(Frames::setTimeFrame(QStringLiteral("2024-03-05,2,09:07:4")),
             QByteArray::fromHex("aa0024030502090740"));
}

void TestFrames::countdownFrame_data() {
    QTest::addColumn<int>("clockIndex");
    QTest::addColumn<QString>("remaining");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("hex");

    QTest::newRow("clock 1, 00:44:30") << 0 << QStringLiteral("00:44:30") << QByteArray::fromHex("ddd1004430")
                                       << QStringLiteral("DDD1004430");
    QTest::newRow("clock 2, 23:30:00") << 1 << QStringLiteral("23:30:00") << QByteArray::fromHex("ddd2233000")
                                       << QStringLiteral("DDD2233000");
    QTest::newRow("clock 1, zero") << 0 << QStringLiteral("00:00:00") << QByteArray::fromHex("ddd1000000")
                                   << QStringLiteral("DDD1000000");
    QTest::newRow("clock 2, 23:59:59") << 1 << QStringLiteral("23:59:59") << QByteArray::fromHex("ddd2235959")
                                       << QStringLiteral("DDD2235959");
}

void TestFrames::countdownFrame() {
    QFETCH(int, clockIndex);
    QFETCH(QString, remaining);
    QFETCH(QByteArray, frame);
    QFETCH(QString, hex);

    const QByteArray bytes = Frames::countdownFrame(clockIndex, remaining);
    QCOMPARE(bytes, frame);
    QCOMPARE(Frames::hexText(bytes), hex);
}

void TestFrames::clockByte_data() {
    QTest::addColumn<int>("base");
    QTest::addColumn<int>("clockIndex");
    QTest::addColumn<int>("expected");

    QTest::newRow("countdown 1") << int(Frames::ClockBase::Countdown) << 0 << 0xD1;
    QTest::newRow("countdown 2") << int(Frames::ClockBase::Countdown) << 1 << 0xD2;
    QTest::newRow("read request 1") << int(Frames::ClockBase::ReadRequest) << 0 << 0xA1;
    QTest::newRow("read request 2") << int(Frames::ClockBase::ReadRequest) << 1 << 0xA2;
    QTest::newRow("write 1") << int(Frames::ClockBase::Write) << 0 << 0xB1;
    QTest::newRow("write 2") << int(Frames::ClockBase::Write) << 1 << 0xB2;
}

void TestFrames::clockByte() {
    QFETCH(int, base);
    QFETCH(int, clockIndex);
    QFETCH(int, expected);
    QCOMPARE(int(Frames::clockByte(quint8(base), clockIndex)), expected);
}

void TestFrames::noClockSelectedIsOverflow() {
    try {
        Frames::clockByte(Frames::ClockBase::Countdown, -1);
        QFAIL("no exception for clock list index -1");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.number(), ErrorNumber::Overflow);
        QCOMPARE(error.code(), 6);
        QVERIFY(!error.description().isEmpty());
    }
    // Every frame that names a clock refuses to form without a selection.
    QCOMPARE(errorNumberOf([] { Frames::countdownFrame(-1, QStringLiteral("00:44:30")); }), 6);
    QCOMPARE(errorNumberOf([] { Frames::readRequest(-1); }), 6);
    QCOMPARE(errorNumberOf([] { Frames::writeFrame(-1, formDefaultRecords()); }), 6);
}

void TestFrames::readRequest_data() {
    QTest::addColumn<int>("clockIndex");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("hex");

    QTest::newRow("clock 1") << 0 << QByteArray::fromHex("bba1") << QStringLiteral("BBA1");
    QTest::newRow("clock 2") << 1 << QByteArray::fromHex("bba2") << QStringLiteral("BBA2");
}

void TestFrames::readRequest() {
    QFETCH(int, clockIndex);
    QFETCH(QByteArray, frame);
    QFETCH(QString, hex);

    const QByteArray bytes = Frames::readRequest(clockIndex);
    QCOMPARE(bytes, frame);
    QCOMPARE(Frames::hexText(bytes), hex);
}

void TestFrames::writeFrameOfFormDefaults() {
    const QByteArray frame = Frames::writeFrame(0, formDefaultRecords());
    QCOMPARE(frame, hexBytes("CCB1") + kDefaultRecords);
    QCOMPARE(frame.size(), 50);

    const auto [first, second] = Frames::writeFrameLines(frame);
    QCOMPARE(first, QStringLiteral("CCB1 070000480000 073000003000 093000510000 103000003000"));
    QCOMPARE(second, QStringLiteral("113000003000 601500004500 540000410000 163000020000"));
    QCOMPARE(first.size(), 56);
    QCOMPARE(second.size(), 51);
}

void TestFrames::writeFrameForClockTwo() {
    const QByteArray frame = Frames::writeFrame(1, formDefaultRecords());
    QCOMPARE(frame.size(), 50);
    QCOMPARE(frame.left(2), QByteArray::fromHex("ccb2"));
    QCOMPARE(frame.mid(2), formDefaultRecords());
    QVERIFY(Frames::writeFrameLines(frame).first.startsWith(QStringLiteral("CCB2 ")));
}

void TestFrames::answeredClockIndex_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("base");
    QTest::addColumn<int>("expected"); // -1: not an answer

    const int write = Frames::Code::WriteSettings;
    const int writeReply = Frames::ClockBase::WriteReply;
    const int read = Frames::Code::ReadSettings;
    const int settingsReply = Frames::ClockBase::SettingsReply;
    const QByteArray records(48, '\0');

    QTest::newRow("write reply clock 1") << QByteArray::fromHex("ccc1") + records << write << writeReply << 0;
    QTest::newRow("write reply clock 2") << QByteArray::fromHex("ccc2") + records << write << writeReply << 1;
    QTest::newRow("two bytes are enough") << QByteArray::fromHex("ccc2") << write << writeReply << 1;
    QTest::newRow("settings reply to a write")
        << QByteArray::fromHex("bbb1") + records << write << writeReply << -1;
    QTest::newRow("write frame echoed") << QByteArray::fromHex("ccb1") + records << write << writeReply << -1;
    QTest::newRow("write reply clock 3")
        << QByteArray::fromHex("ccc3") + records << write << writeReply << -1;
    QTest::newRow("write reply clock 0")
        << QByteArray::fromHex("ccc0") + records << write << writeReply << -1;
    QTest::newRow("one byte") << QByteArray::fromHex("cc") << write << writeReply << -1;
    QTest::newRow("empty") << QByteArray() << write << writeReply << -1;
    QTest::newRow("settings reply clock 1")
        << QByteArray::fromHex("bbb1") + records << read << settingsReply << 0;
    QTest::newRow("settings reply clock 2")
        << QByteArray::fromHex("bbb2") + records << read << settingsReply << 1;
    QTest::newRow("write reply to a read")
        << QByteArray::fromHex("ccc1") + records << read << settingsReply << -1;
    QTest::newRow("read request echoed") << QByteArray::fromHex("bba1") << read << settingsReply << -1;
}

void TestFrames::answeredClockIndex() {
    QFETCH(QByteArray, answer);
    QFETCH(int, command);
    QFETCH(int, base);
    QFETCH(int, expected);

    const std::optional<int> index = Frames::answeredClockIndex(answer, quint8(command), quint8(base));
    QCOMPARE(index.value_or(-1), expected);
}

void TestFrames::clockTimeText_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("expected"); // "-" for a read that is not used
    QTest::newRow("12:34:56") << QByteArray::fromHex("aa0026120601123456") << "12:34:56";
    QTest::newRow("no leading zero") << QByteArray::fromHex("aa0026120601090507") << "9:5:7";
    QTest::newRow("midnight") << QByteArray::fromHex("aa0000000000000000") << "0:0:0";
    QTest::newRow("date bytes ignored") << QByteArray::fromHex("aa00ffffffff235959") << "23:59:59";
    QTest::newRow("not BCD") << QByteArray::fromHex("aa00261206011a3456") << "1A:34:56";
    QTest::newRow("stray byte after") << QByteArray::fromHex("aa002612060112345600") << "-";
    QTest::newRow("eight bytes") << QByteArray::fromHex("aa0026120601123456").left(8) << "-";
    QTest::newRow("byte 1 is 01") << QByteArray::fromHex("aa0126120601123456") << "-";
    QTest::newRow("byte 0 is BB") << QByteArray::fromHex("bb0026120601123456") << "-";
}

void TestFrames::clockTimeText() {
    QFETCH(QByteArray, frame);
    QFETCH(QString, expected);
    QCOMPARE(Frames::clockTimeText(frame).value_or(QStringLiteral("-")), expected);
}

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
