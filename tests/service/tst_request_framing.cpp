// A request framed as it comes: whole, a byte at a time or in pieces of any
// size, the verdict is the same, and a request pipelined behind it is left
// for later.
#include "service/RequestFraming.h"

#include <QTest>

using RequestFraming::Verdict;

class RequestFramingTest : public QObject {
    Q_OBJECT

    static constexpr RequestFraming::Limits kLimits{64 * 1024, 16 * 1024, 100};

    static Verdict inPieces(const QByteArray& request, qsizetype piece) {
        RequestFraming::Framer framer(kLimits);
        Verdict verdict = framer.take(request.first(qMin(piece, request.size())), true);
        for (qsizetype at = piece; at < request.size(); at += piece)
            verdict =
                framer.take(QByteArrayView(request).sliced(at, qMin(piece, request.size() - at)), false);
        return verdict;
    }

private slots:
    void sameVerdictInAnyPieces_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("bodyBytes");
        const QByteArray post = "\r\nPOST /set-time HTTP/1.1\r\nHost: h\r\n";
        const QByteArray chunked = post + "Transfer-Encoding: chunked\r\n\r\n";
        const int whole = int(Verdict::Kind::Whole);
        const int partial = int(Verdict::Kind::Partial);
        const int refused = int(Verdict::Kind::Refused);
        QTest::newRow("a head alone")
            << QByteArray("GET /status HTTP/1.1\r\nHost: h\r\n\r\n") << whole << 0 << qint64(0);
        QTest::newRow("a length") << post + "Content-Length: 19\r\n\r\n{\"time\":\"19:00:00\"}" << whole << 0
                                  << qint64(19);
        QTest::newRow("a length not yet come")
            << post + "Content-Length: 20\r\n\r\n{\"time\":\"19:00:00\"}" << partial << 0 << qint64(20);
        QTest::newRow("chunks") << chunked + "3\r\nabc\r\n10\r\n0123456789abcdef\r\n0\r\n\r\n"
                                << whole << 0 << qint64(19);
        QTest::newRow("chunks not yet ended") << chunked + "3\r\nabc\r\n0\r\n" << partial << 0 << qint64(0);
        QTest::newRow("a chunk longer than its size") << chunked + "3\r\nabcd\r\n0\r\n\r\n"
                                                      << refused << 400 << qint64(0);
        QTest::newRow("a length of letters") << post + "Content-Length: abc\r\n\r\n"
                                             << refused << 400 << qint64(0);
        QTest::newRow("a line ending in LF alone")
            << QByteArray("GET /status HTTP/1.1\nHost: h\n\n") << refused << 400 << qint64(0);
        QTest::newRow("a head beyond 16 KiB")
            << "GET / HTTP/1.1\r\nX: " + QByteArray(16 * 1024, 'x') << refused << 431 << qint64(0);
        QTest::newRow("empty lines beyond 16 KiB")
            << QByteArray(8 * 1024 + 1, '\n').replace("\n", "\r\n") << refused << 431 << qint64(0);
        QTest::newRow("chunks of a byte beyond 128 KiB")
            << chunked + QByteArray("1\r\nx\r\n").repeated(30000) << refused << 413 << qint64(0);
    }
    void sameVerdictInAnyPieces() {
        QFETCH(QByteArray, request);
        QFETCH(int, kind);
        QFETCH(int, status);
        QFETCH(qint64, bodyBytes);
        for (qsizetype piece : {request.size(), qsizetype(1), qsizetype(2), qsizetype(7), qsizetype(4096)}) {
            const Verdict verdict = inPieces(request, piece);
            QCOMPARE(int(verdict.kind), kind);
            QCOMPARE(verdict.status, status);
            if (verdict.kind == Verdict::Kind::Whole)
                QCOMPARE(verdict.bodyBytes, bodyBytes);
        }
    }

    void pipelinedRequestWaits() {
        const QByteArray first = "POST /set-time HTTP/1.1\r\nHost: h\r\nContent-Length: 2\r\n\r\n{}";
        const QByteArray second = "GET /status HTTP/1.1\r\nHost: h\r\n\r\n";
        RequestFraming::Framer framer(kLimits);
        const Verdict verdict = framer.take(first + second.first(5), true);
        QCOMPARE(int(verdict.kind), int(Verdict::Kind::Whole));
        QCOMPARE(verdict.bodyBytes, 2);
        // Once whole it stays so, until the next request begins.
        QCOMPARE(int(framer.take(second.sliced(5), false).kind), int(Verdict::Kind::Whole));
        QCOMPARE(int(framer.take(second, true).kind), int(Verdict::Kind::Whole));
        QCOMPARE(framer.take(second, true).bodyBytes, 0);
    }
};

QTEST_GUILESS_MAIN(RequestFramingTest)
#include "tst_request_framing.moc"
