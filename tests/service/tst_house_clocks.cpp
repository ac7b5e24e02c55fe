// The house page's question to Prometheus and what the service makes of the
// answer, against canned answers on a socket of the test: the clocks grouped
// by their label, values missing or no number, Prometheus's errors, a server
// that is no Prometheus, none at all, and one that never answers.
#include "service/HouseClocks.h"
#include "service/HouseQuery.h"

#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUrlQuery>

namespace {
// JSON written with ' for ".
QByteArray q(const char* text) {
    return QByteArray(text).replace('\'', '"');
}
QByteArray response(const QByteArray& statusLine, const QByteArray& body) {
    return "HTTP/1.1 " + statusLine +
           "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}
QByteArray vector(const QByteArray& samples) {
    return q("{'status':'success','data':{'resultType':'vector','result':[") + samples + "]}}";
}
QByteArray sample(const QByteArray& name, const QByteArray& labels, const QByteArray& value) {
    return q("{'metric':{'__name__':'") + name + q("'") + labels + q("},'value':[1765000000.5,'") + value +
           q("']}");
}
const QByteArray kStudioA = q(",'clock':'studio-a','instance':'a:8642','job':'varo-clock'");
} // namespace

class HouseClocksTest : public QObject {
    Q_OBJECT
private slots:
    void answers_data() {
        QTest::addColumn<QByteArray>("response"); // none: the server never answers
        QTest::addColumn<bool>("listening");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("two clocks, one down")
            << response("200 OK",
                        vector(sample("varo_clock_offset_seconds", kStudioA, "1.503") + ',' +
                               sample("up", kStudioA, "1") + ',' +
                               sample("varo_clock_port_open", kStudioA, "1") + ',' +
                               sample("varo_clock_computer_clock_synchronized", kStudioA, "0") + ',' +
                               sample("varo_clock_last_time_frame_age_seconds", kStudioA, "0.31") + ',' +
                               sample("up", q(",'clock':'studio-b','instance':'b:8643'"), "0")))
            << true << 200
            << q("{'clocks':[{'clock':'studio-a','computerClockSynchronized':false,'instance':'a:8642',"
                 "'lastTimeFrameAgeSeconds':0.31,'offsetSeconds':1.503,'portOpen':true,'up':true},"
                 "{'clock':'studio-b','computerClockSynchronized':null,'instance':'b:8643',"
                 "'lastTimeFrameAgeSeconds':null,'offsetSeconds':null,'portOpen':null,'up':false}]}");
        QTest::newRow("no clock label, no frame yet, series of others")
            << response("200 OK", vector(sample("varo_clock_last_time_frame_age_seconds",
                                                q(",'instance':'c:8644'"), "+Inf") +
                                         ',' + sample("varo_clock_build_info", kStudioA, "1") + ',' +
                                         sample("up", "", "1")))
            << true << 200
            << q("{'clocks':[{'clock':'c:8644','computerClockSynchronized':null,'instance':'c:8644',"
                 "'lastTimeFrameAgeSeconds':null,'offsetSeconds':null,'portOpen':null,'up':null}]}");
        QTest::newRow("Prometheus's error")
            << response("400 Bad Request",
                        q("{'status':'error','errorType':'bad_data','error':'invalid parameter'}"))
            << true << 502
            << q("{'error':'Prometheus answered 400 Bad Request: bad_data: invalid parameter'}");
        QTest::newRow("no Prometheus") << response("404 Not Found", "<html>Not Found</html>") << true << 502
                                       << q("{'error':'Prometheus answered 404 Not Found: its "
                                            "answer is no query result'}");
        QTest::newRow("nothing listening")
            << QByteArray() << false << 502 << q("{'error':'Prometheus unreachable: Connection refused'}");
        QTest::newRow("never answers")
            << QByteArray() << true << 504 << q("{'error':'Prometheus did not answer within 2 s'}");
    }
    void answers() {
        QFETCH(QByteArray, response);
        QFETCH(bool, listening);
        QTcpServer prometheus;
        QVERIFY(prometheus.listen(QHostAddress::LocalHost));
        const quint16 port = prometheus.serverPort();
        if (!listening)
            prometheus.close();
        QByteArray asked;
        connect(&prometheus, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* client = prometheus.nextPendingConnection();
            connect(client, &QTcpSocket::readyRead, client, [&, client] {
                asked += client->readAll();
                if (asked.contains("\r\n\r\n") && !response.isEmpty())
                    client->write(response);
            });
        });
        HouseQuery query(QUrl(QStringLiteral("http://127.0.0.1:%1/prometheus").arg(port)));
        // Two pages at once, one question.
        QList<HouseQuery::Answer> answers;
        for (int page = 0; page < 2; ++page)
            query.ask([&answers](const HouseQuery::Answer& answer) { answers << answer; });
        QVERIFY(QTest::qWaitFor([&] { return answers.size() == 2; }, HouseQuery::kTimeoutMs + 1000));
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QCOMPARE(answers[0].httpStatus, status);
        QCOMPARE(QJsonDocument(answers[0].body).toJson(QJsonDocument::Compact), body);
        QCOMPARE(answers[1].body, answers[0].body);
        if (listening)
            QCOMPARE(asked.left(asked.indexOf("\r\n")),
                     "GET /prometheus/api/v1/query?" +
                         QUrlQuery({{QStringLiteral("query"), HouseClocks::query()}})
                             .toString(QUrl::FullyEncoded)
                             .toUtf8() +
                         " HTTP/1.1");
    }
};

QTEST_GUILESS_MAIN(HouseClocksTest)
#include "tst_house_clocks.moc"
