// Time-of-day texts: what the operator may type, the two-digit form shown back
// and the arithmetic that wraps at midnight.

#include "common/RuntimeError.h"
#include "schedule/TimeText.h"

#include <QtTest>

class TestTimeText : public QObject {
    Q_OBJECT

private slots:
    void parseAccepts_data();
    void parseAccepts();
    void parseRejects_data();
    void parseRejects();
    void toTimeRaisesTypeMismatch_data();
    void toTimeRaisesTypeMismatch();
    void toTimeConverts();
    void format_data();
    void format();
    void add_data();
    void add();
    void subtract_data();
    void subtract();
};

void TestTimeText::parseAccepts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QTime>("expected");

    QTest::newRow("two-digit form") << QStringLiteral("12:34:56") << QTime(12, 34, 56);
    QTest::newRow("one digit each") << QStringLiteral("9:7:5") << QTime(9, 7, 5);
    QTest::newRow("hours and minutes") << QStringLiteral("9:5") << QTime(9, 5, 0);
    QTest::newRow("blanks around") << QStringLiteral(" 08:00:00 ") << QTime(8, 0, 0);
    QTest::newRow("tab before") << QStringLiteral("\t08:00:00") << QTime(8, 0, 0);
    QTest::newRow("date and time") << QStringLiteral("2024-03-05 12:00:00") << QTime(12, 0, 0);
    QTest::newRow("slashed date, short time") << QStringLiteral("2024/3/5 7:5") << QTime(7, 5, 0);
    QTest::newRow("date alone") << QStringLiteral("2024-03-05") << QTime(0, 0, 0);
    QTest::newRow("leap day") << QStringLiteral("2024-02-29 06:00") << QTime(6, 0, 0);
    QTest::newRow("midnight short") << QStringLiteral("0:0:0") << QTime(0, 0, 0);
    QTest::newRow("last second") << QStringLiteral("23:59:59") << QTime(23, 59, 59);
}

void TestTimeText::parseAccepts() {
    QFETCH(QString, text);
    QFETCH(QTime, expected);

    const std::optional<QTime> time = TimeText::parse(text);
    QVERIFY2(time.has_value(), qPrintable(text));
    QCOMPARE(*time, expected);
}

void TestTimeText::parseRejects_data() {
    QTest::addColumn<QString>("text");

    QTest::newRow("hour 25") << QStringLiteral("25:00:00");
    QTest::newRow("hour 24") << QStringLiteral("24:00:00");
    QTest::newRow("minute 60") << QStringLiteral("12:60:00");
    QTest::newRow("second 60") << QStringLiteral("12:00:60");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks only") << QStringLiteral("   ");
    QTest::newRow("letters") << QStringLiteral("abc");
    QTest::newRow("four fields") << QStringLiteral("1:2:3:4");
    QTest::newRow("trailing word") << QStringLiteral("12:34:56 extra");
    QTest::newRow("three-digit hours") << QStringLiteral("123:00");
    QTest::newRow("hours alone") << QStringLiteral("12");
    QTest::newRow("month 13") << QStringLiteral("2024-13-01 10:00");
    QTest::newRow("30 February") << QStringLiteral("2024-02-30");
    QTest::newRow("29 February, no leap year") << QStringLiteral("2023-02-29 10:00");
    QTest::newRow("mixed date separators") << QStringLiteral("2024-03/05 10:00");
    QTest::newRow("trailing colon") << QStringLiteral("12:34:56:");
    QTest::newRow("negative hours") << QStringLiteral("-1:00:00");
    QTest::newRow("fullwidth digits") << QStringLiteral("１２:００");
    QTest::newRow("date with bad time") << QStringLiteral("2024-03-05 25:00:00");
    QTest::newRow("blank inside") << QStringLiteral("12 :34");
}

void TestTimeText::parseRejects() {
    QFETCH(QString, text);
    const std::optional<QTime> time = TimeText::parse(text);
    QVERIFY2(!time.has_value(), qPrintable(time ? time->toString() : QString()));
}

void TestTimeText::toTimeRaisesTypeMismatch_data() {
    QTest::addColumn<QString>("text");

    QTest::newRow("hour 25") << QStringLiteral("25:00:00");
    QTest::newRow("empty") << QString();
    QTest::newRow("letters") << QStringLiteral("abc");
}

void TestTimeText::toTimeRaisesTypeMismatch() {
    QFETCH(QString, text);
    try {
        TimeText::toTime(text);
        QFAIL("no exception");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.code(), 13);
        QCOMPARE(error.description(), QStringLiteral("Type mismatch"));
    }
}

void TestTimeText::toTimeConverts() {
    QCOMPARE(TimeText::toTime(QStringLiteral("7:05:03")), QTime(7, 5, 3));
    QCOMPARE(TimeText::toTime(QStringLiteral("2024-03-05")), QTime(0, 0, 0));
}

void TestTimeText::format_data() {
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("expected");

    QTest::newRow("single digits padded") << QTime(9, 7, 5) << QStringLiteral("09:07:05");
    QTest::newRow("midnight") << QTime(0, 0, 0) << QStringLiteral("00:00:00");
    QTest::newRow("afternoon, 24-hour") << QTime(13, 5, 0) << QStringLiteral("13:05:00");
    QTest::newRow("last second") << QTime(23, 59, 59) << QStringLiteral("23:59:59");
    QTest::newRow("milliseconds dropped") << QTime(12, 0, 0, 999) << QStringLiteral("12:00:00");
}

void TestTimeText::format() {
    QFETCH(QTime, time);
    QFETCH(QString, expected);
    QCOMPARE(TimeText::format(time), expected);
}

void TestTimeText::add_data() {
    QTest::addColumn<QTime>("a");
    QTest::addColumn<QTime>("b");
    QTest::addColumn<QTime>("expected");

    QTest::newRow("wraps past midnight") << QTime(23, 30, 0) << QTime(1, 0, 0) << QTime(0, 30, 0);
    QTest::newRow("carries into the hour") << QTime(7, 30, 0) << QTime(0, 30, 0) << QTime(8, 0, 0);
    QTest::newRow("lands on midnight") << QTime(23, 59, 59) << QTime(0, 0, 1) << QTime(0, 0, 0);
    QTest::newRow("zero") << QTime(16, 30, 0) << QTime(0, 0, 0) << QTime(16, 30, 0);
    QTest::newRow("refresh plus length") << QTime(20, 15, 0) << QTime(0, 45, 0) << QTime(21, 0, 0);
}

void TestTimeText::add() {
    QFETCH(QTime, a);
    QFETCH(QTime, b);
    QFETCH(QTime, expected);
    QCOMPARE(TimeText::add(a, b), expected);
}

void TestTimeText::subtract_data() {
    QTest::addColumn<QTime>("a");
    QTest::addColumn<QTime>("b");
    QTest::addColumn<QTime>("expected");

    QTest::newRow("wraps before midnight") << QTime(0, 15, 0) << QTime(0, 30, 0) << QTime(23, 45, 0);
    QTest::newRow("itself") << QTime(14, 22, 33) << QTime(14, 22, 33) << QTime(0, 0, 0);
    QTest::newRow("half an hour") << QTime(9, 0, 0) << QTime(8, 30, 0) << QTime(0, 30, 0);
    QTest::newRow("one second before midnight") << QTime(0, 0, 0) << QTime(0, 0, 1) << QTime(23, 59, 59);
}

void TestTimeText::subtract() {
    QFETCH(QTime, a);
    QFETCH(QTime, b);
    QFETCH(QTime, expected);
    QCOMPARE(TimeText::subtract(a, b), expected);
}

QTEST_GUILESS_MAIN(TestTimeText)
#include "tst_timetext.moc"
