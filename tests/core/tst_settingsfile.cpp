// The settings file of one countdown clock: the exact bytes written, and what
// the reader makes of good, odd and broken files.

#include "KnownBytes.h"
#include "schedule/FormDefaults.h"
#include "settings_file/SettingsFile.h"

#include <QtTest>

namespace {

using Status = SettingsFile::Loaded::Status;

GroupRow makeRow(CheckState valid, const char* refresh, const char* length, CheckState staticFlag,
                 CheckState ignoreHours = CheckState::Clear, const char* start = "") {
    GroupRow row;
    row.Valid = valid;
    row.StartTime = QString::fromLatin1(start);
    row.RefreshTime = QString::fromLatin1(refresh);
    row.CountdownLength = QString::fromLatin1(length);
    row.StaticFlag = staticFlag;
    row.IgnoreHours = ignoreHours;
    return row;
}

QString stateText(CheckState state) {
    switch (state) {
    case CheckState::Clear:
        return QStringLiteral("0");
    case CheckState::Ticked:
        return QStringLiteral("1");
    case CheckState::Grey:
        return QStringLiteral("2");
    }
    return QStringLiteral("?");
}

// One row as a readable text, so that a mismatch shows every field.
QString describe(const GroupRow& row) {
    return QStringLiteral("valid=%1 refresh='%2' length='%3' static=%4 ignoreHours=%5 start='%6'")
        .arg(stateText(row.Valid), row.RefreshTime, row.CountdownLength, stateText(row.StaticFlag),
             stateText(row.IgnoreHours), row.StartTime);
}

// The rows a file of the start-up rows gives back: no start times, grey valid
// of row 4 ticked.
GroupRows loadedFormDefaults() {
    GroupRows rows = formDefaultRows();
    for (GroupRow& row : rows)
        row.StartTime.clear();
    rows[3].Valid = CheckState::Ticked;
    return rows;
}

void compareRows(const GroupRows& actual, const GroupRows& expected) {
    for (int i = 0; i < kGroupCount; ++i) {
        QVERIFY2(actual[i] == expected[i], qPrintable(QStringLiteral("row %1:\n   actual %2\n expected %3")
                                                          .arg(i + 1)
                                                          .arg(describe(actual[i]), describe(expected[i]))));
    }
}

const char* statusName(Status status) {
    switch (status) {
    case Status::Ok:
        return "Ok";
    case Status::BadHeader:
        return "BadHeader";
    case Status::EndsEarly:
        return "EndsEarly";
    }
    return "?";
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void writesStartUpFile();
    void writesClockTwoHeader();
    void writesClockZeroHeaderThatWillNotLoad();
    void ignoreHoursAppendsH_data();
    void ignoreHoursAppendsH();

    void loadsStartUpFile();
    void roundTrip_data();
    void roundTrip();
    void acceptedFiles_data();
    void acceptedFiles();
    void rejectedHeaders_data();
    void rejectedHeaders();
    void shortFiles_data();
    void shortFiles();
    void groupLine_data();
    void groupLine();
};

void TestSettingsFile::writesStartUpFile() {
    const QByteArray bytes = SettingsFile::write(1, formDefaultRows());
    QCOMPARE(bytes, kStartUpSettingsFile);
    QCOMPARE(bytes.size(), 194);
}

void TestSettingsFile::writesClockTwoHeader() {
    const QByteArray bytes = SettingsFile::write(2, formDefaultRows());
    QCOMPARE(bytes, QByteArray("[CLOCK2]") + kStartUpSettingsFile.mid(8));
}

void TestSettingsFile::writesClockZeroHeaderThatWillNotLoad() {
    const QByteArray bytes = SettingsFile::write(0, formDefaultRows());
    QCOMPARE(bytes, QByteArray("[CLOCK0]") + kStartUpSettingsFile.mid(8));
    QCOMPARE(statusName(SettingsFile::read(bytes).status), statusName(Status::BadHeader));
}

void TestSettingsFile::ignoreHoursAppendsH_data() {
    QTest::addColumn<CheckState>("ignoreHours");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("ticked") << CheckState::Ticked << QByteArray("A,07:30:00,00:30:00,R,H\r\n");
    QTest::newRow("grey") << CheckState::Grey << QByteArray("A,07:30:00,00:30:00,R\r\n");
    QTest::newRow("clear") << CheckState::Clear << QByteArray("A,07:30:00,00:30:00,R\r\n");
}

void TestSettingsFile::ignoreHoursAppendsH() {
    QFETCH(CheckState, ignoreHours);
    QFETCH(QByteArray, line);

    GroupRows rows = formDefaultRows();
    rows[1].IgnoreHours = ignoreHours;
    const QByteArray bytes = SettingsFile::write(1, rows);
    const qsizetype secondGroup = 10 + 23;
    QCOMPARE(bytes.left(secondGroup), kStartUpSettingsFile.left(secondGroup));
    QCOMPARE(bytes.mid(secondGroup, line.size()), line);
    QCOMPARE(bytes.mid(secondGroup + line.size()), kStartUpSettingsFile.mid(secondGroup + 23));
}

void TestSettingsFile::loadsStartUpFile() {
    const SettingsFile::Loaded loaded = SettingsFile::read(kStartUpSettingsFile);
    QCOMPARE(statusName(loaded.status), statusName(Status::Ok));
    QCOMPARE(loaded.schedule.ClockNumber, 1);
    compareRows(loaded.schedule.rows, loadedFormDefaults());
}

void TestSettingsFile::roundTrip_data() {
    QTest::addColumn<GroupRow>("written");
    QTest::addColumn<GroupRow>("loaded");

    const CheckState C = CheckState::Clear;
    const CheckState T = CheckState::Ticked;
    const CheckState G = CheckState::Grey;

    QTest::newRow("all flags ticked")
        << makeRow(T, "07:05:03", "13:08:59", T, T) << makeRow(T, "07:05:03", "13:08:59", T, T);
    QTest::newRow("all flags clear") << makeRow(C, "23:59:59", "00:00:00", C, C)
                                     << makeRow(C, "23:59:59", "00:00:00", C, C);
    QTest::newRow("texts kept as typed")
        << makeRow(T, "ab:cd:ef", "99:99:99", C, C) << makeRow(T, "ab:cd:ef", "99:99:99", C, C);
    QTest::newRow("start time not saved")
        << makeRow(T, "07:00:00", "00:30:00", C, C, "07:30:00") << makeRow(T, "07:00:00", "00:30:00", C, C);
    QTest::newRow("grey valid comes back ticked")
        << makeRow(G, "10:30:00", "00:30:00", C, C) << makeRow(T, "10:30:00", "00:30:00", C, C);
    QTest::newRow("grey static comes back ticked")
        << makeRow(T, "10:30:00", "00:30:00", G, C) << makeRow(T, "10:30:00", "00:30:00", T, C);
    QTest::newRow("grey ignore hours comes back clear")
        << makeRow(T, "10:30:00", "00:30:00", C, G) << makeRow(T, "10:30:00", "00:30:00", C, C);
    // "A,7:00:00,08:00:00,R": the fields are taken by position.
    QTest::newRow("short refresh text shifts the fields")
        << makeRow(T, "7:00:00", "08:00:00", C, C) << makeRow(T, "7:00:00,", "8:00:00,", G, C);
    // "A,07:00:00,8:00:00,S"
    QTest::newRow("short length text shifts the flag")
        << makeRow(T, "07:00:00", "8:00:00", T, C) << makeRow(T, "07:00:00", "8:00:00,", G, C);
    // "A,07:00:000,08:00:00,R,H"
    QTest::newRow("long refresh text shifts the fields")
        << makeRow(T, "07:00:000", "08:00:00", C, T) << makeRow(T, "07:00:00", ",08:00:0", G, C);
}

void TestSettingsFile::roundTrip() {
    QFETCH(GroupRow, written);
    QFETCH(GroupRow, loaded);

    GroupRows rows;
    rows.fill(written);
    GroupRows expected;
    expected.fill(loaded);

    const SettingsFile::Loaded result = SettingsFile::read(SettingsFile::write(2, rows));
    QCOMPARE(statusName(result.status), statusName(Status::Ok));
    QCOMPARE(result.schedule.ClockNumber, 2);
    compareRows(result.schedule.rows, expected);
}

void TestSettingsFile::acceptedFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("clockNumber");

    QTest::newRow("clock 1") << kStartUpSettingsFile << 1;
    QTest::newRow("clock 2") << QByteArray("[CLOCK2]") + kStartUpSettingsFile.mid(8) << 2;
    QTest::newRow("ninth line without CR LF") << kStartUpSettingsFile.chopped(2) << 1;
    QTest::newRow("ninth line ends with CR only") << kStartUpSettingsFile.chopped(1) << 1;
    QTest::newRow("lines end with CR only") << QByteArray(kStartUpSettingsFile).replace("\r\n", "\r") << 1;
    QTest::newRow("more than nine lines")
        << kStartUpSettingsFile + "V,00:00:00,00:00:00,S,H\r\n[CLOCK2]\r\nanything\r\n"
        << 1;
    QTest::newRow("tenth line without line end") << kStartUpSettingsFile + "V,00:00:00,00:00:00,S" << 1;
}

void TestSettingsFile::acceptedFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, clockNumber);

    const SettingsFile::Loaded loaded = SettingsFile::read(bytes);
    QCOMPARE(statusName(loaded.status), statusName(Status::Ok));
    QCOMPARE(loaded.schedule.ClockNumber, clockNumber);
    compareRows(loaded.schedule.rows, loadedFormDefaults());
}

void TestSettingsFile::rejectedHeaders_data() {
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray groups = kStartUpSettingsFile.mid(8);
    QTest::newRow("clock 3") << QByteArray("[CLOCK3]") + groups;
    QTest::newRow("clock 0") << QByteArray("[CLOCK0]") + groups;
    QTest::newRow("lower case") << QByteArray("[clock1]") + groups;
    QTest::newRow("trailing blank") << QByteArray("[CLOCK1] ") + groups;
    QTest::newRow("leading blank") << QByteArray(" [CLOCK1]") + groups;
    QTest::newRow("two digits") << QByteArray("[CLOCK12]") + groups;
    QTest::newRow("UTF-8 byte-order mark") << QByteArray("\xEF\xBB\xBF") + kStartUpSettingsFile;
    QTest::newRow("bare LF line ends") << QByteArray(kStartUpSettingsFile).replace("\r\n", "\n");
    QTest::newRow("LF CR line ends") << QByteArray(kStartUpSettingsFile).replace("\r\n", "\n\r");
    QTest::newRow("group line first") << kStartUpSettingsFile.mid(10);
    QTest::newRow("empty first line") << QByteArray("\r\n") + kStartUpSettingsFile;
}

void TestSettingsFile::rejectedHeaders() {
    QFETCH(QByteArray, bytes);
    QCOMPARE(statusName(SettingsFile::read(bytes).status), statusName(Status::BadHeader));
}

void TestSettingsFile::shortFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("linesFound");

    // Header and group lines 1 to n of the start-up file.
    const auto firstLines = [](int n) {
        return kStartUpSettingsFile.left(10 + 23 * n);
    };
    QTest::newRow("empty file") << QByteArray() << 0;
    QTest::newRow("header without line end") << QByteArray("[CLOCK1]") << 1;
    QTest::newRow("header only") << firstLines(0) << 1;
    QTest::newRow("header and five groups") << firstLines(5) << 6;
    QTest::newRow("header and seven groups") << firstLines(7) << 8;
    QTest::newRow("clock 2, header and five groups") << QByteArray("[CLOCK2]") + firstLines(5).mid(8) << 6;
}

void TestSettingsFile::shortFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, linesFound);

    const SettingsFile::Loaded loaded = SettingsFile::read(bytes);
    QCOMPARE(statusName(loaded.status), statusName(Status::EndsEarly));
    QCOMPARE(loaded.linesFound, linesFound);
}

void TestSettingsFile::groupLine_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<GroupRow>("expected");

    const CheckState C = CheckState::Clear;
    const CheckState T = CheckState::Ticked;
    const CheckState G = CheckState::Grey;

    QTest::newRow("lower-case letters")
        << QByteArray("a,07:00:00,08:00:00,s,h") << makeRow(G, "07:00:00", "08:00:00", G, C);
    QTest::newRow("21 characters") << QByteArray("A,07:30:00,00:30:00,R")
                                   << makeRow(T, "07:30:00", "00:30:00", C, C);
    QTest::newRow("H at 23") << QByteArray("A,07:30:00,00:30:00,R,H")
                             << makeRow(T, "07:30:00", "00:30:00", C, T);
    QTest::newRow("other letter at 23")
        << QByteArray("A,07:30:00,00:30:00,R,X") << makeRow(T, "07:30:00", "00:30:00", C, C);
    QTest::newRow("H at 22") << QByteArray("A,07:30:00,00:30:00,RH")
                             << makeRow(T, "07:30:00", "00:30:00", C, C);
    QTest::newRow("V and S") << QByteArray("V,14:00:00,01:00:00,S")
                             << makeRow(C, "14:00:00", "01:00:00", T, C);
    QTest::newRow("other letters") << QByteArray("X,14:00:00,01:00:00,Y,H")
                                   << makeRow(G, "14:00:00", "01:00:00", G, T);
    QTest::newRow("separators not examined")
        << QByteArray("A;07:30:00;00:30:00;R;H") << makeRow(T, "07:30:00", "00:30:00", C, T);
    QTest::newRow("length cut short")
        << QByteArray("A,07:00:00,08:00") << makeRow(T, "07:00:00", "08:00", G, C);
    QTest::newRow("letter only") << QByteArray("A") << makeRow(T, "", "", G, C);
    QTest::newRow("empty line") << QByteArray() << makeRow(G, "", "", G, C);
}

void TestSettingsFile::groupLine() {
    QFETCH(QByteArray, line);
    QFETCH(GroupRow, expected);

    // The line stands as group 3 of an otherwise normal file.
    QList<QByteArray> lines = kStartUpSettingsFile.split('\n');
    lines[3] = line + '\r';
    const SettingsFile::Loaded loaded = SettingsFile::read(lines.join('\n'));
    QCOMPARE(statusName(loaded.status), statusName(Status::Ok));

    GroupRows rows = loadedFormDefaults();
    rows[2] = expected;
    compareRows(loaded.schedule.rows, rows);
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
