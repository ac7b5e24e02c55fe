// The clock service's door tried as an attacker would, with the master clock
// simulator's log as the witness of what reached the clock: requests framed
// loosely, values that are no time of day or a settings file the command line
// warns of, other sites' pages and names (also from a real browser), pipelined
// requests, the limits of connections and time, a clean stop. The token file's
// rules are tst_e2e_service's refusesToStart.
#include "HeadlessChromium.h"
#include "KnownBytes.h"
#include "ServiceProcess.h"
#include "SimProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHttpServer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>
#include <csignal>
#include <memory>

namespace {
// One answer as a plain socket reads it.
struct Answer {
    int status = 0; // 0: none came
    QByteArray body;
};

// A plain socket to the service, for what no browser or curl sends.
class RawClient {
public:
    explicit RawClient(quint16 port) {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        m_socket.waitForConnected();
    }
    void send(const QByteArray& bytes) { m_socket.write(bytes) && m_socket.flush(); }
    // The next whole answer, by its Content-Length; an interim 100 Continue is skipped.
    Answer next() {
        static const QRegularExpression head(QStringLiteral("^HTTP/1\\.1 (\\d{3}) [^\r]*\r\n(.*?\r\n)?\r\n"),
                                             QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression length(QStringLiteral("\r\nContent-Length: (\\d+)\r\n"),
                                               QRegularExpression::CaseInsensitiveOption);
        Answer answer;
        const auto whole = [&] {
            m_buffer += m_socket.readAll();
            const QRegularExpressionMatch status = head.match(QString::fromLatin1(m_buffer));
            if (!status.hasMatch())
                return false;
            const qsizetype headSize = status.capturedLength(0);
            const qsizetype bodySize = length.match(status.captured(0)).captured(1).toInt();
            if (m_buffer.size() < headSize + bodySize)
                return false;
            answer = {status.captured(1).toInt(), m_buffer.mid(headSize, bodySize)};
            m_buffer.remove(0, headSize + bodySize);
            return answer.status != 100;
        };
        if (!QTest::qWaitFor(whole, 10000))
            answer.status = 0;
        return answer;
    }
    // Whether the service closes the connection, waited for.
    bool closedByService() {
        return QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; },
                               5000);
    }
    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
};

const QByteArray kJson = "Content-Type: application/json\r\n";
const QByteArray kSetTime = "{\"time\":\"19:00:00\"}";
const QByteArray kCountdown = "{\"clock\":1,\"time\":\"19:00:00\"}";
const QString kNothing;
const QString kSetTimeFrame = QStringLiteral(" RX AA00[0-9]{8}190000 set time .*");
const QString kCountdownFrame = QStringLiteral(" RX DDD1[0-9]{6} countdown clock 1 .*");
// The service's own Host; %HOST% in a request stands for it.
const QByteArray kOwnHost = "Host: %HOST%\r\n";

// A request with `headers` and `body`, its length given.
QByteArray request(const QByteArray& line, const QByteArray& headers, const QByteArray& body = {}) {
    return line + " HTTP/1.1\r\n" + kOwnHost + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// The start-up settings file with its line `index` (0: the header) replaced.
QByteArray settingsWithLine(int index, const QByteArray& line) {
    QByteArrayList lines = kStartUpSettingsFile.split('\n');
    lines[index] = line + '\r';
    return lines.join('\n');
}

// The lock file QSerialPort keeps for `device` (/dev/pts/3: LCK..pts_3).
QString lockFileOf(const QString& device) {
    return QStringLiteral("/run/lock/LCK..") + device.mid(5).replace(QLatin1Char('/'), QLatin1Char('_'));
}
} // namespace

class E2eServiceDoorTest : public QObject {
    Q_OBJECT

private:
    SimProcess m_sim;
    ServiceProcess m_service;
    std::unique_ptr<RawClient> m_slowClient; // sends half a head and no more
    QElapsedTimer m_slowSince;

    bool readClock2() {
        RawClient client(m_service.port);
        client.send(withOwnHost(request("GET /settings/2", {})));
        return client.next().status == 200;
    }
    bool nothingReachedClockSince(int mark) {
        return ::nothingReachedClockSince(m_sim, mark, [this] { return readClock2(); });
    }
    QByteArray withOwnHost(QByteArray bytes) const {
        return bytes.replace("%HOST%", "127.0.0.1:" + QByteArray::number(m_service.port));
    }

private slots:
    void initTestCase() {
        QVERIFY(m_sim.start({QStringLiteral("--persist")}));
        QVERIFY(m_service.start({QStringLiteral("--port"), m_sim.device(), QStringLiteral("--allow-host"),
                                 QStringLiteral("clock.studio.example")}));
        QVERIFY(m_sim.waitForLine(QRegularExpression(QStringLiteral("peers with the device open: 1$")))
                    .hasMatch());
    }

    // 511 idle connections and one that sends half a head fill the service:
    // the next is answered 503 and closed; the service may open as many
    // files as the system lets it. The slow one is answered at the end.
    void limits() {
        QFile limits(QStringLiteral("/proc/%1/limits").arg(m_service.pid()));
        QVERIFY(limits.open(QIODevice::ReadOnly));
        const QRegularExpressionMatch openFiles =
            QRegularExpression(QStringLiteral("\nMax open files +(\\S+) +(\\S+) ")).match(limits.readAll());
        QVERIFY(openFiles.hasMatch() && openFiles.captured(1) == openFiles.captured(2));

        std::vector<QTcpSocket> idle(511);
        for (QTcpSocket& socket : idle)
            socket.connectToHost(QHostAddress::LocalHost, m_service.port);
        m_slowClient = std::make_unique<RawClient>(m_service.port);
        m_slowClient->send("GET /status HTTP/1.1\r\n");
        m_slowSince.start();
        QVERIFY(QTest::qWaitFor([&] {
            return std::all_of(idle.begin(), idle.end(),
                               [](const auto& s) { return s.state() == QAbstractSocket::ConnectedState; });
        }));
        RawClient tooMany(m_service.port);
        const Answer refused = tooMany.next();
        QCOMPARE(refused.status, 503);
        QCOMPARE(refused.body,
                 QByteArray("{\"error\":\"The service has 512 connections open; try again later\"}\n"));
        QVERIFY(tooMany.closedByService());
        idle.clear();
        QVERIFY(QTest::qWaitFor([this] { return readClock2(); }));
    }

    void requests_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("answer"); // a pattern of the answer's body
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("received"); // the master clock's log line; empty: nothing reached it

        const QByteArray setTime = "POST /set-time HTTP/1.1\r\n" + kOwnHost + kJson;
        const QByteArray chunked = setTime + "Transfer-Encoding: chunked\r\n\r\n";
        QTest::newRow("a length below nothing") << setTime + "Content-Length: -1\r\n\r\n" + kSetTime << 400
                                                << "^\\{\"error\":\"Content-Length is not one number of "
                                                   "bytes: \\\\\"-1\\\\\"\"\\}$"
                                                << true << kNothing;
        QTest::newRow("a length of letters") << setTime + "Content-Length: abc\r\n\r\n" + kSetTime << 400
                                             << "Content-Length is not one number" << true << kNothing;
        QTest::newRow("a length with an exponent")
            << setTime + "Content-Length: 1e3\r\n\r\n" + kSetTime << 400 << "Content-Length is not one number"
            << true << kNothing;
        QTest::newRow("two equal lengths")
            << setTime + "Content-Length: 19\r\nContent-Length: 19\r\n\r\n" + kSetTime << 400
            << "two Content-Length headers" << true << kNothing;
        QTest::newRow("a length and chunks")
            << setTime + "Content-Length: 19\r\nTransfer-Encoding: chunked\r\n\r\n13\r\n" + kSetTime +
                   "\r\n0\r\n\r\n"
            << 400 << "a Content-Length and a Transfer-Encoding" << true << kNothing;
        QTest::newRow("a chunk size of letters")
            << chunked + "zz\r\n" + kSetTime + "\r\n0\r\n\r\n"
            << 400 << "A chunk's size is no hexadecimal number: \\\\\"zz\\\\\"" << true << kNothing;
        QTest::newRow("a chunk size below nothing")
            << chunked + "-1\r\n" + kSetTime + "\r\n0\r\n\r\n"
            << 400 << "A chunk's size is no hexadecimal" << true << kNothing;
        QTest::newRow("a trailer") << chunked + "13\r\n" + kSetTime + "\r\n0\r\nX-Trailer: 1\r\n\r\n"
                                   << 400 << "no trailer" << true << kNothing;
        QTest::newRow("a coding other than chunked")
            << setTime + "Transfer-Encoding: gzip\r\n\r\n" + kSetTime << 400
            << "Transfer-Encoding takes chunked" << true << kNothing;
        QTest::newRow("chunks beyond 64 KiB")
            << chunked + "10001\r\n"
            << 413 << "The request is larger than 64 KiB" << true << kNothing;
        QTest::newRow("lines ending in LF alone")
            << "POST /set-time HTTP/1.1\nHost: 127.0.0.1\nContent-Length: 19\n\n" + kSetTime << 400
            << "ends without CR LF" << true << kNothing;
        QTest::newRow("no host") << QByteArray("GET /status HTTP/1.1\r\n\r\n") << 400
                                 << "names its host in one Host header" << true << kNothing;
        QTest::newRow("two hosts") << "GET /status HTTP/1.1\r\n" + kOwnHost + kOwnHost + "\r\n"
                                   << 400 << "names its host in one Host header" << true << kNothing;
        QByteArray lines;
        for (int i = 0; i < 99; ++i)
            lines += "X-Line-" + QByteArray::number(i) + ": x\r\n";
        QTest::newRow("101 header lines") << request("POST /countdown", lines, kCountdown) << 431
                                          << "more than 100 header lines" << true << kNothing;
        QTest::newRow("a head beyond 16 KiB")
            << "GET /status HTTP/1.1\r\n" + kOwnHost + "X-Long: " + QByteArray(16 * 1024, 'x') + "\r\n\r\n"
            << 431 << "The request's head is larger than 16 KiB" << true << kNothing;
        QTest::newRow("chunks as they should be")
            << chunked + "13\r\n" + kSetTime + "\r\n0\r\n\r\n"
            << 200 << "\"command\":\"set_time\"" << false << kSetTimeFrame;

        QTest::newRow("a date") << request("POST /set-time", kJson, "{\"time\":\"2026-12-08\"}") << 400
                                << "must be a time of day" << false << kNothing;
        QTest::newRow("a date and a time")
            << request("POST /set-time", kJson, "{\"time\":\"1999-01-01 19:00:00\"}") << 400
            << "must be a time of day" << false << kNothing;
        const QByteArray plainText = "Content-Type: text/plain\r\n";
        QTest::newRow("a lower-case flag letter")
            << request("PUT /settings/1", plainText, settingsWithLine(2, "a,07:30:00,00:30:00,R")) << 400
            << "^\\{\"error\":\"line 3: \\\\\"a\\\\\" at column 1 is neither A nor V: sent as valid\"\\}$"
            << false << kNothing;
        QTest::newRow("no countdown kind")
            << request("PUT /settings/1", plainText, settingsWithLine(2, "A,07:30:00,00:30:00,")) << 400
            << "^\\{\"error\":\"line 3: nothing at column 21 is neither R nor S" << false << kNothing;
        QTest::newRow("a tenth line")
            << request("PUT /settings/1", plainText, kStartUpSettingsFile + "A,01:00:00,00:10:00,R\r\n")
            << 400 << "^\\{\"error\":\"line 10: .* follows the ninth line" << false << kNothing;
        QTest::newRow("a second clock's block")
            << request("PUT /settings/1", plainText,
                       kStartUpSettingsFile + "[CLOCK2]\r\n" + kStartUpSettingsFile.mid(10))
            << 400 << "^\\{\"error\":\"line 10: \\\\\"\\[CLOCK2\\]\\\\\" follows the ninth line" << false
            << kNothing;

        QTest::newRow("another site's page")
            << request("POST /countdown", kJson + "Origin: http://evil.example\r\n", kCountdown) << 403
            << "Origin: http://evil.example" << false << kNothing;
        QTest::newRow("a page of no origin")
            << request("POST /countdown", kJson + "Origin: null\r\n", kCountdown) << 403 << "Origin: null"
            << false << kNothing;
        QTest::newRow("a page on another port")
            << request("POST /countdown", kJson + "Origin: http://127.0.0.1:1\r\n", kCountdown) << 403
            << "another site's page" << false << kNothing;
        QTest::newRow("a rebound name")
            << QByteArray("GET /status HTTP/1.1\r\nHost: evil.example\r\n\r\n") << 421
            << "does not answer to the host \\\\\"evil.example\\\\\"" << false << kNothing;
        QTest::newRow("the web socket from another site")
            << "GET /live HTTP/1.1\r\n" + kOwnHost +
                   "Origin: http://evil.example\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n"
                   "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n"
            << 403 << "another site's page" << true << kNothing;
        QTest::newRow("a form") << request("POST /countdown",
                                           "Content-Type: application/x-www-form-urlencoded\r\n", kCountdown)
                                << 415 << "Content-Type: application/json" << false << kNothing;
        QTest::newRow("a plain-text fetch") << request("POST /countdown", plainText, kCountdown) << 415
                                            << "Content-Type: application/json" << false << kNothing;
        QTest::newRow("a body without a type") << request("POST /countdown", {}, kCountdown) << 415
                                               << "Content-Type: application/json" << false << kNothing;
        QTest::newRow("a settings file as JSON") << request("PUT /settings/1", kJson, kStartUpSettingsFile)
                                                 << 415 << "Content-Type: text/plain" << false << kNothing;
        QTest::newRow("the service's own page")
            << request("POST /countdown", kJson + "Origin: http://%HOST%\r\n", kCountdown) << 200
            << "\"command\":\"countdown\"" << false << kCountdownFrame;
        QTest::newRow("a name --allow-host gives")
            << QByteArray("GET /status HTTP/1.1\r\nHost: clock.studio.example\r\n\r\n") << 200
            << "\"lineHeld\":false" << false << kNothing;
    }
    void requests() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);
        QFETCH(QString, answer);
        QFETCH(bool, closes);
        QFETCH(QString, received);
        const int mark = int(m_sim.lines().size());
        RawClient client(m_service.port);
        client.send(withOwnHost(bytes));
        const Answer got = client.next();
        QVERIFY2(got.status == status, got.body.constData());
        QVERIFY2(QRegularExpression(answer).match(QString::fromUtf8(got.body)).hasMatch(),
                 got.body.constData());
        if (closes)
            QVERIFY(client.closedByService());
        if (received.isEmpty())
            QVERIFY(nothingReachedClockSince(mark));
        else
            QVERIFY2(m_sim.waitForLine(QRegularExpression(received), 3000, mark).hasMatch(),
                     qPrintable(m_sim.lines().mid(mark).join(QLatin1Char('\n'))));
    }

    // A set time, a path that is none and the status on one connection at
    // once: answered in that order, and the set time reached the clock.
    void pipelined() {
        const int mark = int(m_sim.lines().size());
        RawClient client(m_service.port);
        client.send(withOwnHost(request("POST /set-time", kJson, kSetTime) + request("GET /nosuch", {}) +
                                request("GET /status", {})));
        for (const auto& [status, said] : {std::pair{200, "\"command\":\"set_time\""},
                                           {404, "No such path: /nosuch"},
                                           {200, "\"lineHeld\":"}}) {
            const Answer answer = client.next();
            QVERIFY2(answer.status == status && answer.body.contains(said), answer.body.constData());
        }
        QVERIFY(m_sim.waitForLine(QRegularExpression(kSetTimeFrame), 3000, mark).hasMatch());
    }

    // A client gone before its set time's answer: the journal still says
    // what went out.
    void clientGone() {
        const int mark = int(m_sim.lines().size());
        {
            RawClient client(m_service.port);
            client.send(withOwnHost(request("POST /set-time", kJson, "{\"time\":\"19:00:01\"}")));
            client.socket().abort();
        }
        QVERIFY(m_sim.waitForLine(QRegularExpression(QStringLiteral(" RX AA00[0-9]{8}190001 ")), 3000, mark)
                    .hasMatch());
        QVERIFY2(waitForSaid(
                     m_service,
                     QRegularExpression(QStringLiteral("set_time done\n  [-0-9 :.]+ sent +/dev/pts/\\d+ 9600 "
                                                       "AA 00 [0-9 ]+ 19 00 01\n")),
                     3000)
                     .hasMatch(),
                 qPrintable(m_service.err()));
    }

    // A page of another site, served from another port, tries a fetch, a
    // form and a web socket in Chromium: nothing reaches the clock.
    void otherSitesPageInABrowser() {
        if (HeadlessChromium::program().isEmpty())
            QSKIP("chromium not found on PATH: scripts/setup.sh installs it");
        const QString service = QStringLiteral("127.0.0.1:%1").arg(m_service.port);
        QHttpServer site;
        site.route(QStringLiteral("/"), [&service] {
            return QHttpServerResponse("text/html", QString::fromLatin1(R"(
<form method=post action='http://%1/set-time' enctype=text/plain target=sink>
<input name='{"time":"19:00:00","x":"' value='"}'></form><iframe name=sink></iframe>
<script>
const results = window.results = {}, body = JSON.stringify({clock: 1, time: '19:00:00'});
const tried = (name, promise) => promise.then(r => results[name] = r.type + ' ' + r.status,
                                              () => results[name] = 'refused');
tried('fetch', fetch('http://%1/countdown', {method: 'POST', body}));
tried('no-cors', fetch('http://%1/countdown', {method: 'POST', mode: 'no-cors', body}));
tried('json', fetch('http://%1/countdown', {method: 'POST', body, headers: {'Content-Type': 'application/json'}}));
const live = new WebSocket('ws://%1/live');
live.onopen = () => results.live = 'open';
live.onclose = () => results.live = results.live || 'refused';
document.querySelector('iframe').onload = () => results.form = 'sent';
document.forms[0].submit();
</script>)")
                                                        .arg(service)
                                                        .toUtf8());
        });
        const quint16 sitePort = site.listen(QHostAddress::LocalHost);
        QVERIFY(sitePort != 0);
        const int mark = int(m_sim.lines().size());
        HeadlessChromium page;
        QVERIFY(page.open(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(sitePort))));
        QVERIFY(
            page.waitUntil("['fetch', 'no-cors', 'json', 'live', 'form'].every(name => name in results)"));
        QCOMPARE(
            page.evaluate("['fetch', 'no-cors', 'json', 'live', 'form'].map(name => results[name]).join()")
                .toString(),
            QStringLiteral("refused,opaque 0,refused,refused,sent"));
        QVERIFY(nothingReachedClockSince(mark));
    }

    // SIGTERM while a set time waits for the master clock's next time frame
    // and a status request waits behind it on its connection: the set time
    // is answered, the status 503, the port refuses connections, the log
    // says so, the port's lock is gone and the exit status is 0. SIGINT and
    // SIGHUP close an idle connection alike.
    void cleanStop_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("commandUnderWay");
        QTest::newRow("SIGTERM during a set time") << int(SIGTERM) << "SIGTERM" << true;
        QTest::newRow("SIGINT") << int(SIGINT) << "SIGINT" << false;
        QTest::newRow("SIGHUP") << int(SIGHUP) << "SIGHUP" << false;
    }
    void cleanStop() {
        QFETCH(int, signal);
        QFETCH(QString, name);
        QFETCH(bool, commandUnderWay);
        SimProcess sim;
        QVERIFY(
            sim.start({QStringLiteral("--time-frames"), QStringLiteral("1"), QStringLiteral("--persist")}));
        ServiceProcess service;
        QVERIFY(service.start({QStringLiteral("--port"), sim.device()}));
        QVERIFY(
            sim.waitForLine(QRegularExpression(QStringLiteral("peers with the device open: 1$"))).hasMatch());
        const QString lock = lockFileOf(sim.device());
        QVERIFY(QFile::exists(lock) || !QFileInfo(QStringLiteral("/run/lock")).isWritable());

        RawClient client(service.port);
        const QByteArray status = "GET /status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        // A set time waits for the next time frame once the service has seen one.
        QVERIFY(QTest::qWaitFor([&] {
            client.send(status);
            return client.next().body.contains("\"masterClock\":{");
        }));
        if (commandUnderWay) {
            client.send("POST /set-time HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" + status);
            QVERIFY(sim.waitForLine(QRegularExpression(QStringLiteral(" RX AA00[0-9]{14} set time ")))
                        .hasMatch());
        }
        QCOMPARE(::kill(pid_t(service.pid()), signal), 0);
        if (commandUnderWay) {
            QVERIFY(waitForSaid(service, QRegularExpression(QStringLiteral("stopping: ")), 3000).hasMatch());
            QVERIFY(QTest::qWaitFor([&] {
                QTcpSocket late;
                late.connectToHost(QHostAddress::LocalHost, service.port);
                return !late.waitForConnected(1000) &&
                       late.error() == QAbstractSocket::ConnectionRefusedError;
            }));
            const Answer answered = client.next();
            QVERIFY2(answered.status == 200 && answered.body.contains("\"masterClock\":{\"offsetMs\":"),
                     answered.body);
            const Answer refused = client.next();
            QVERIFY2(refused.status == 503 && refused.body.contains("The service is stopping"), refused.body);
        }
        QVERIFY(client.closedByService());
        QCOMPARE(service.exitStatus(), 0);
        const QString said = service.err();
        QVERIFY2(said.contains(QStringLiteral("stopping: ") + name +
                               (commandUnderWay ? QStringLiteral(", once the command under way has ended\n")
                                                : QStringLiteral("\n"))) &&
                     said.endsWith(QLatin1String("varo-clock-service stopped\n")),
                 qPrintable(said));
        QVERIFY(!QFile::exists(lock));
    }

    // The connection that sent half a head since limits() is answered 408
    // and closed, 10 s after it began.
    void slowHead() {
        const Answer timedOut = m_slowClient->next();
        QVERIFY2(timedOut.status == 408, timedOut.body.constData());
        QVERIFY2(m_slowSince.elapsed() >= 10000, qPrintable(QString::number(m_slowSince.elapsed())));
        QVERIFY(m_slowClient->closedByService());
    }
};

QTEST_GUILESS_MAIN(E2eServiceDoorTest)
#include "tst_e2e_service_door.moc"
