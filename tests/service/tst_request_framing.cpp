// A request framed as it comes: whole, a byte at a time or in pieces of
// seven, the verdict is the same.
#include "service/RequestFraming.h"

#include <QTest>

using RequestFraming::Verdict;

class RequestFramingTest : public QObject {
    Q_OBJECT

private slots:
    void sameVerdictInAnyPieces_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status"); // 0 whole, 1 not yet, or the refusal's
        const QByteArray post = "\r\nPOST /set-time HTTP/1.1\r\nHost: h\r\n";
        const QByteArray chunked = post + "Transfer-Encoding: chunked\r\n\r\n";
        QTest::newRow("a length") << post + "Content-Length: 19\r\n\r\n{\"time\":\"19:00:00\"}" << 0;
        QTest::newRow("a length not yet come") << post + "Content-Length: 20\r\n\r\n{}" << 1;
        QTest::newRow("chunks") << chunked + "3\r\nabc\r\n10\r\n0123456789abcdef\r\n0\r\n\r\n" << 0;
        QTest::newRow("chunks not yet ended") << chunked + "3\r\nabc\r\n0\r\n" << 1;
        QTest::newRow("a chunk longer than its size") << chunked + "3\r\nabcd\r\n0\r\n\r\n" << 400;
        QTest::newRow("a line ending in LF alone") << QByteArray("GET / HTTP/1.1\nHost: h\n\n") << 400;
        QTest::newRow("a head beyond 16 KiB") << "GET / HTTP/1.1\r\nX: " + QByteArray(16 * 1024, 'x') << 431;
        QTest::newRow("empty lines beyond 16 KiB")
            << QByteArray(8 * 1024 + 1, '\n').replace("\n", "\r\n") << 431;
        QTest::newRow("chunks of a byte beyond 128 KiB")
            << chunked + QByteArray("1\r\nx\r\n").repeated(30000) << 413;
    }
    void sameVerdictInAnyPieces() {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        for (const qsizetype piece : {request.size(), qsizetype(1), qsizetype(7)}) {
            RequestFraming::Framer framer({64 * 1024, 16 * 1024, 100});
            Verdict verdict;
            for (qsizetype at = 0; at < request.size(); at += piece)
                verdict = framer.take(QByteArrayView(request).sliced(at, qMin(piece, request.size() - at)),
                                      at == 0);
            QCOMPARE(verdict.kind == Verdict::Kind::Whole     ? 0
                     : verdict.kind == Verdict::Kind::Partial ? 1
                                                              : verdict.status,
                     status);
        }
    }
};

QTEST_GUILESS_MAIN(RequestFramingTest)
#include "tst_request_framing.moc"
