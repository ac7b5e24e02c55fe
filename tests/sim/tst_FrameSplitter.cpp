#include "FrameSplitter.h"

#include <QTest>
#include <vector>

using Kind = FrameSplitter::Kind;
using Piece = FrameSplitter::Piece;

// One read from the line: its bytes and the time it was fed.
struct Chunk {
    QByteArray bytes;
    qint64 atUs;
};
using Chunks = std::vector<Chunk>;
using Pieces = std::vector<Piece>;

Q_DECLARE_METATYPE(Chunks)
Q_DECLARE_METATYPE(Pieces)

namespace {
const QByteArray kSetTime = QByteArray::fromHex("AA0024030502090745");
const QByteArray kReadRequest = QByteArray::fromHex("BBA1");
const QByteArray kCountdown = QByteArray::fromHex("DDD1004430");
const QByteArray kWrite = QByteArray::fromHex("CCB1070000480000073000003000093000510000103000003000"
                                              "113000003000601500004500540000410000163000020000");
const QByteArray kRmc =
    QByteArrayLiteral("$GPRMC,123456.123,A,3114.1296,N,12128.0253,E,000.0,000.0,061226,,*02\r\n");
constexpr qint64 kTimeoutUs = FrameSplitter::kDefaultTimeoutUs;
} // namespace

class FrameSplitterTest : public QObject {
    Q_OBJECT
private slots:
    void feed_data();
    void feed();
    void expireGivesUpAnOldFrame();
    void deadlineFollowsTheFirstByte();
};

void FrameSplitterTest::feed_data() {
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<Pieces>("expected");

    QTest::newRow("read request whole")
        << Chunks{{kReadRequest, 10}} << Pieces{{Kind::Frame, kReadRequest, 10}};
    QTest::newRow("set time in three pieces, stamped with the last")
        << Chunks{{kSetTime.left(2), 10}, {kSetTime.mid(2, 5), 20}, {kSetTime.mid(7), 30}}
        << Pieces{{Kind::Frame, kSetTime, 30}};
    Chunks byteByByte;
    for (int i = 0; i < kWrite.size(); ++i)
        byteByByte.push_back({kWrite.mid(i, 1), 100 + i});
    QTest::newRow("write frame byte by byte") << byteByByte << Pieces{{Kind::Frame, kWrite, 100 + 49}};
    QTest::newRow("two frames in one chunk")
        << Chunks{{kReadRequest + kCountdown, 5}}
        << Pieces{{Kind::Frame, kReadRequest, 5}, {Kind::Frame, kCountdown, 5}};
    QTest::newRow("frame and the start of the next")
        << Chunks{{kCountdown + kSetTime.left(4), 5}, {kSetTime.mid(4), 7}}
        << Pieces{{Kind::Frame, kCountdown, 5}, {Kind::Frame, kSetTime, 7}};
    QTest::newRow("stray bytes before a frame")
        << Chunks{{QByteArray::fromHex("555501") + kReadRequest, 3}}
        << Pieces{{Kind::Stray, QByteArray::fromHex("555501"), 3}, {Kind::Frame, kReadRequest, 3}};
    QTest::newRow("stray bytes between frames")
        << Chunks{{kReadRequest + QByteArray::fromHex("00FF") + kCountdown, 3}}
        << Pieces{{Kind::Frame, kReadRequest, 3},
                  {Kind::Stray, QByteArray::fromHex("00FF"), 3},
                  {Kind::Frame, kCountdown, 3}};
    QTest::newRow("only stray bytes")
        << Chunks{{QByteArray::fromHex("5555"), 1}, {QByteArray::fromHex("55"), 2}}
        << Pieces{{Kind::Stray, QByteArray::fromHex("5555"), 1}, {Kind::Stray, QByteArray::fromHex("55"), 2}};
    QTest::newRow("incomplete frame stays pending") << Chunks{{kSetTime.left(5), 1}} << Pieces{};
    QTest::newRow("rest within the timeout completes the frame")
        << Chunks{{kSetTime.left(5), 0}, {kSetTime.mid(5), kTimeoutUs}}
        << Pieces{{Kind::Frame, kSetTime, kTimeoutUs}};
    QTest::newRow("incomplete frame given up when the next chunk comes late")
        << Chunks{{kSetTime.left(3), 0}, {kReadRequest, kTimeoutUs + 1}}
        << Pieces{{Kind::Incomplete, kSetTime.left(3), kTimeoutUs + 1},
                  {Kind::Frame, kReadRequest, kTimeoutUs + 1}};
    QTest::newRow("timeout counts from the first byte of the frame")
        << Chunks{{kReadRequest + kSetTime.left(2), 0},
                  {kSetTime.mid(2, 2), 400'000},
                  {kSetTime.mid(4), 600'000}}
        << Pieces{{Kind::Frame, kReadRequest, 0},
                  {Kind::Incomplete, kSetTime.left(4), 600'000},
                  {Kind::Stray, kSetTime.mid(4), 600'000}};
    QTest::newRow("RMC sentence in pieces")
        << Chunks{{kRmc.left(10), 1}, {kRmc.mid(10, 59), 2}, {kRmc.mid(69), 3}}
        << Pieces{{Kind::Frame, kRmc, 3}};
    QTest::newRow("RMC sentence and a frame in one chunk")
        << Chunks{{kRmc + kReadRequest, 4}} << Pieces{{Kind::Frame, kRmc, 4}, {Kind::Frame, kReadRequest, 4}};
    QTest::newRow("CR and LF in separate chunks")
        << Chunks{{kRmc.chopped(1), 1}, {QByteArrayLiteral("\n"), 2}} << Pieces{{Kind::Frame, kRmc, 2}};
    const QByteArray endless = '$' + QByteArray(100, 'x');
    QTest::newRow("sentence without CR LF")
        << Chunks{{endless, 6}}
        << Pieces{{Kind::Overlong, endless.left(82), 6}, {Kind::Stray, endless.mid(82), 6}};
}

void FrameSplitterTest::feed() {
    QFETCH(Chunks, chunks);
    QFETCH(Pieces, expected);
    FrameSplitter splitter;
    Pieces pieces;
    for (const Chunk& chunk : chunks) {
        const Pieces fed = splitter.feed(chunk.bytes, chunk.atUs);
        pieces.insert(pieces.end(), fed.begin(), fed.end());
    }
    QCOMPARE(pieces.size(), expected.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
        QCOMPARE(int(pieces[i].kind), int(expected[i].kind));
        QCOMPARE(pieces[i].bytes.toHex(), expected[i].bytes.toHex());
        QCOMPARE(pieces[i].atUs, expected[i].atUs);
    }
}

void FrameSplitterTest::expireGivesUpAnOldFrame() {
    FrameSplitter splitter;
    QVERIFY(splitter.feed(kCountdown.left(3), 1000).empty());
    QVERIFY(!splitter.expire(1000 + kTimeoutUs).has_value());
    const std::optional<Piece> given = splitter.expire(1001 + kTimeoutUs);
    QVERIFY(given.has_value());
    QVERIFY((*given == Piece{Kind::Incomplete, kCountdown.left(3), 1001 + kTimeoutUs}));
    QVERIFY(!splitter.expire(1'000'000'000).has_value());
    const Pieces after = splitter.feed(kReadRequest, 2'000'000);
    QCOMPARE(after.size(), size_t(1));
    QCOMPARE(after.front().bytes, kReadRequest);
}

void FrameSplitterTest::deadlineFollowsTheFirstByte() {
    FrameSplitter splitter(1000);
    QVERIFY(!splitter.deadlineUs().has_value());
    splitter.feed(kWrite.left(10), 50);
    splitter.feed(kWrite.mid(10, 10), 70);
    QCOMPARE(splitter.deadlineUs(), std::optional<qint64>(1050));
    splitter.feed(kWrite.mid(20) + kSetTime.left(1), 90);
    QCOMPARE(splitter.deadlineUs(), std::optional<qint64>(1090));
    splitter.feed(kSetTime.mid(1), 95);
    QVERIFY(!splitter.deadlineUs().has_value());
}

QTEST_APPLESS_MAIN(FrameSplitterTest)
#include "tst_FrameSplitter.moc"
