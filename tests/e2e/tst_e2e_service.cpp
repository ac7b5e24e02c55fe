// varo-clock-service end to end: the program against the master clock
// simulator on a pseudo-terminal, through HTTP and its web socket: every
// endpoint and error, the token, oversized and abandoned requests, the device
// lost and back, a dead link, the guards, a real Prometheus scraping it, two
// clocks' alerts through a real Alertmanager and the live and house pages in a
// browser.
#include "HeadlessChromium.h"
#include "KnownBytes.h"
#include "Ser2net.h"
#include "ServiceProcess.h"
#include "SimProcess.h"

#include <QDir>
#include <QFile>
#include <QHttpServer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <QWebSocket>
#include <csignal>
#include <cstring>
#include <memory>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
const QByteArray kClock2File = QByteArray(kStartUpSettingsFile).replace("[CLOCK1]", "[CLOCK2]");
// Any frame the master clock received.
const QRegularExpression kReceived(QStringLiteral(" RX [0-9A-F]+ "));

struct Reply {
    int status = 0;
    QByteArray body;
    QList<QNetworkReply::RawHeaderPair> headers;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

int openDescriptors(qint64 pid) {
    return int(QDir(QStringLiteral("/proc/%1/fd").arg(pid))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

// A file of the source tree, by its path there.
QByteArray sourceFile(const QString& path) {
    QFile file(QStringLiteral(VARO_SOURCE_DIR "/") + path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of a fenced block of `language` in docs/service.md whose first line is `firstLine`.
QByteArray fencedBlock(const QByteArray& language, const QByteArray& firstLine) {
    const QByteArray text = sourceFile(QStringLiteral("docs/service.md"));
    const QByteArray opening = "```" + language + '\n';
    const qsizetype start = text.indexOf(opening + firstLine + '\n');
    if (start < 0)
        return {};
    const qsizetype body = start + opening.size();
    return text.mid(body, text.indexOf("```", body) - body);
}

// A program's full path, also where a user's PATH leaves out the system's programs.
QString programPath(const QString& name) {
    const QString onPath = QStandardPaths::findExecutable(name);
    return onPath.isEmpty() ? QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin")}) : onPath;
}

// What `program` said when it failed; empty when it succeeded.
QString failureOf(const QString& program, const QStringList& arguments, const QByteArray& input = {}) {
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished();
    return process.exitCode() == 0
               ? QString()
               : QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
}

// Prometheus or Alertmanager on a free port of 127.0.0.1, ended with the test.
class LoopbackServer {
public:
    LoopbackServer(const QString& program, const QStringList& arguments) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        port = probe.serverPort();
        probe.close();
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process.start(
            program, arguments + QStringList{QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port)});
    }
    ~LoopbackServer() { stop(); }
    void stop() {
        m_process.terminate();
        m_process.waitForFinished();
    }
    QUrl url(const QString& path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path));
    }
    // The end of what it said, for a failure's message.
    QByteArray said() { return m_process.readAllStandardError().right(2000); }

    quint16 port = 0;

private:
    QProcess m_process;
};

// A network namespace of the test's own (as root) and a veth pair to it, this
// side 10.A.B.1, the far side 10.A.B.2 (A, B from the process id).
struct NetworkNamespace {
    const qint64 pid = QCoreApplication::applicationPid();
    const QString name = QStringLiteral("varo%1").arg(pid);
    const QString prefix = QStringLiteral("10.%1.%2").arg((pid >> 8) & 0xFF).arg(pid & 0xFC);

    ~NetworkNamespace() { run("ip netns delete %1"); } // the pair goes with it
    // `script` with %1 the name and %2 the prefix; whether it all ran.
    bool run(const char* script) const {
        return QProcess::execute("sh", {"-ec", QString::fromLatin1(script).arg(name, prefix)}) == 0;
    }
    bool create() const {
        return run("ip netns add %1; ip link add %1a type veth peer name %1b netns %1\n"
                   "ip address add %2.1/30 dev %1a; ip link set %1a up; ip -n %1 link set %1b up\n"
                   "ip -n %1 address add %2.2/30 dev %1b");
    }
    bool setFarAddressPresent(bool present) const {
        return run(present ? "ip -n %1 address add %2.2/30 dev %1b"
                           : "ip -n %1 address delete %2.2/30 dev %1b");
    }
};

} // namespace

class E2eServiceTest : public QObject {
    Q_OBJECT

private:
    QNetworkAccessManager m_http;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<ServiceProcess> m_service;
    QStringList m_simOptions{QStringLiteral("none")};

    // A simulator with `simOptions` and a service on its device, unless the
    // last ones had the same options.
    bool startBoth(const QStringList& simOptions, const QStringList& serviceOptions = {}) {
        if (simOptions == m_simOptions && serviceOptions.isEmpty())
            return true;
        m_service.reset();
        m_sim = std::make_unique<SimProcess>();
        m_service = std::make_unique<ServiceProcess>();
        m_simOptions = serviceOptions.isEmpty() ? simOptions : QStringList{QStringLiteral("none")};
        return m_sim->start(simOptions + QStringList{QStringLiteral("--persist")}) &&
               m_service->start(QStringList{QStringLiteral("--port"), m_sim->device()} + serviceOptions) &&
               m_sim->waitForLine(QRegularExpression(QStringLiteral("peers with the device open: 1$")))
                   .hasMatch();
    }

    QNetworkReply* send(const QByteArray& method, const QString& path, const QByteArray& body = {},
                        const QByteArray& token = {}) {
        QNetworkRequest request(m_service->url(path));
        if (!token.isEmpty())
            request.setRawHeader("Authorization", "Bearer " + token);
        if (!body.isEmpty())
            request.setHeader(QNetworkRequest::ContentTypeHeader,
                              method == "PUT" ? "text/plain" : "application/json");
        return m_http.sendCustomRequest(request, method, body);
    }
    static Reply wait(QNetworkReply* reply) {
        if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 10000))
            reply->abort();
        Reply got{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
                  reply->rawHeaderPairs()};
        reply->deleteLater();
        return got;
    }
    Reply http(const QByteArray& method, const QString& path, const QByteArray& body = {},
               const QByteArray& token = {}) {
        return wait(send(method, path, body, token));
    }
    // The series of Prometheus's answer to `expression` now.
    QJsonArray query(const LoopbackServer& prometheus, const QString& expression) {
        QUrl url = prometheus.url(QStringLiteral("/api/v1/query"));
        url.setQuery({{QStringLiteral("query"), expression}});
        return wait(m_http.get(QNetworkRequest(url))).json()["data"][QLatin1String("result")].toArray();
    }

    // Nothing reached the master clock since `mark`: a settings read sent
    // now is the first frame it receives.
    bool nothingReachedClockSince(int mark, const QByteArray& token = {}) {
        return ::nothingReachedClockSince(*m_sim, mark, [&] {
            return http("GET", QStringLiteral("/settings/2"), {}, token).status == 200;
        });
    }

private slots:
    void endpoints_data() {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("answer");   // a pattern of the answer's body
        QTest::addColumn<QString>("received"); // the master clock's log line; empty: nothing reached it

        const QStringList none;
        const QString nothing;
        QTest::newRow("status")
            << none << QByteArray("GET") << "/status" << QByteArray() << 200
            << "^\\{\"computerClock\":\\{.*\"state\":\"(synchronized|unsynchronized|unknown)\".*\\},"
               "\"lineHeld\":false,\"masterClock\":null,"
               "\"port\":\\{\"baud\":9600,\"device\":\"/dev/pts/\\d+\",\"name\":\"/dev/pts/"
               "\\d+\",\"open\":true\\},"
               "\"version\":\"\\d+\\.\\d+\\.\\d+\"\\}$"
            << nothing;
        QTest::newRow("metrics") << none << QByteArray("GET") << "/metrics" << QByteArray() << 200
                                 << "\nvaro_clock_last_time_frame_age_seconds \\+Inf\n.*"
                                    "\n# TYPE varo_clock_port_open gauge\nvaro_clock_port_open 1\n"
                                 << nothing;
        QTest::newRow("countdown")
            << none << QByteArray("POST") << "/countdown" << QByteArray("{\"clock\":2,\"time\":\"10:00:00\"}")
            << 200 << "\"outcome\":\"done\",\"received\":\\[\\],\"remaining\":\"\\d\\d:\\d\\d:\\d\\d\""
            << " RX DDD2[0-9]{6} countdown clock 2 .* 10:00:00$";
        QTest::newRow("set-time from the computer")
            << none << QByteArray("POST") << "/set-time" << QByteArray() << 200
            << "\"frameText\":\"\\d{4}-\\d\\d-\\d\\d,[0-6],\\d\\d:\\d\\d:\\d\\d\",\"frames\":\\[\"[-0-9 :.]+ "
               "sent     /dev/pts/\\d+ 9600 AA 00 "
               "[0-9 "
               "]+\"\\],\"masterClock\":null,\"outcome\":\"done\",\"received\":\\[\\],\"second\":\"[-0-9T:]+"
               "\",\"sent\":\\[\"AA00[0-9]{14}\"\\]\\}$"
            << " RX AA00[0-9]{14} set time ";
        QTest::newRow("set-time typed")
            << none << QByteArray("POST") << "/set-time" << QByteArray("{\"time\":\"09:07:05\"}") << 200
            << "\"frameText\":\"\\d{4}-\\d\\d-\\d\\d,[0-6],09:07:05\""
            << " RX AA00[0-9]{8}090705 set time \\S+ weekday [0-6] 09:07:05$";
        QTest::newRow("gps without a fix")
            << none << QByteArray("POST") << "/gps" << QByteArray("{\"valid\":false}") << 200
            << "\"sentence\":\"\\$GPRMC,\\d{6}\\.123,V,3114\\.1296,N,"
            << " RMC \\d{6}\\.123 V \\d{6} checksum ok$";
        QTest::newRow("read clock 1")
            << none << QByteArray("GET") << "/settings/1" << QByteArray() << 200
            << "^\\{\"clock\":1,\"command\":\"read_settings\",\"file\":\"\\[CLOCK1\\]\\\\r\\\\nA,07:00:00,08:"
               "00:00,S\\\\r\\\\n.*"
               "\"message\":\"Read "
               "success!\",\"outcome\":\"done\",\"received\":\\[\"BBB1070000480000[0-9A-F]{84}\"\\],"
               "\"rows\":\\[\\{\"countdownLength\":\"08:00:00\",\"ignoreHours\":false,\"refreshTime\":\"07:"
               "00:00\",\"static\":true,"
               "\"valid\":true\\},.*\"sent\":\\[\"BBA1\"\\]\\}$"
            << " RX BBA1 read request clock 1$";
        QTest::newRow("write clock 2")
            << none << QByteArray("PUT") << "/settings/2" << kClock2File << 200
            << "\"clock\":2,\"command\":\"write_settings\",.*\"message\":\"Write success!\""
            << " RX CCB2070000480000[0-9A-F]{84} write clock 2 ";

        QTest::newRow("clock 3") << none << QByteArray("POST") << "/countdown"
                                 << QByteArray("{\"clock\":3,\"time\":\"10:00:00\"}") << 400
                                 << "^\\{\"error\":\"\\\\\"clock\\\\\" must be 1 or 2\"\\}$" << nothing;
        QTest::newRow("bad JSON") << none << QByteArray("POST") << "/countdown" << QByteArray("{\"clock\":")
                                  << 400 << "^\\{\"error\":\"bad JSON: .* at byte 9\"\\}$" << nothing;
        QTest::newRow("a time that is none")
            << none << QByteArray("POST") << "/set-time" << QByteArray("{\"time\":\"25:00:00\"}") << 400
            << "^\\{\"error\":\"\\\\\"time\\\\\" must be a time of day" << nothing;
        QTest::newRow("unknown member")
            << none << QByteArray("POST") << "/gps" << QByteArray("{\"valid\":1,\"x\":1}") << 400
            << "^\\{\"error\":\"unknown member \\\\\"x\\\\\"\"\\}$" << nothing;
        QTest::newRow("valid that is no truth")
            << none << QByteArray("POST") << "/gps" << QByteArray("{\"valid\":1}") << 400
            << "must be true or false" << nothing;
        QTest::newRow("header of the other clock")
            << none << QByteArray("PUT") << "/settings/1" << kClock2File << 400
            << "^\\{\"error\":\"the file's header names clock 2, not clock 1\"\\}$" << nothing;
        QTest::newRow("a file time that is none")
            << none << QByteArray("PUT") << "/settings/1"
            << QByteArray(kStartUpSettingsFile).replace("10:30:00,00:30:00", "10:30:00,00:75:00") << 400
            << "^\\{\"error\":\"Writing Error 13:Type mismatch" << nothing;
        QTest::newRow("a file cut short")
            << none << QByteArray("PUT") << "/settings/1" << kStartUpSettingsFile.left(30) << 400
            << "Writing Error 62:Input past end of file: the body holds 2 of" << nothing;
        QTest::newRow("no such clock") << none << QByteArray("GET") << "/settings/3" << QByteArray() << 400
                                       << "^\\{\"error\":\"the countdown clock is 1 or 2\"\\}$" << nothing;
        QTest::newRow("no such path") << none << QByteArray("GET") << "/settings" << QByteArray() << 404
                                      << "^\\{\"error\":\"No such path: /settings\"\\}$" << nothing;
        QTest::newRow("wrong method") << none << QByteArray("DELETE") << "/status" << QByteArray() << 405
                                      << "^\\{\"error\":\"/status takes GET\"\\}$" << nothing;
        QTest::newRow("a command read") << none << QByteArray("GET") << "/set-time" << QByteArray() << 405
                                        << "^\\{\"error\":\"/set-time takes POST\"\\}$" << nothing;
        QTest::newRow("web socket without upgrade")
            << none << QByteArray("GET") << "/live" << QByteArray() << 426
            << "^\\{\"error\":\"/live is a web socket\"\\}$" << nothing;

        QTest::newRow("no answer")
            << QStringList{"--silent"} << QByteArray("GET") << "/settings/1" << QByteArray() << 504
            << "\"error\":\"No answer from the master clock to the read\",.*\"outcome\":\"no_answer\""
            << " answer withheld ";
        QTest::newRow("foreign answer")
            << QStringList{"--foreign"} << QByteArray("GET") << "/settings/2" << QByteArray() << 502
            << "\"error\":\"The master clock's answer is no settings reply\",.*\"received\":\\[\"CCC2"
            << "foreign answer";
        QTest::newRow("answer cut short")
            << QStringList{"--cut", "10"} << QByteArray("PUT") << "/settings/1" << kStartUpSettingsFile << 502
            << "\"error\":\"Writing Error 9:Subscript out of range: .*\"outcome\":\"short_answer\""
            << "cut to 10 of 50 bytes";
    }
    void endpoints() {
        QFETCH(QStringList, simOptions);
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, answer);
        QFETCH(QString, received);

        QVERIFY(startBoth(simOptions));
        const int mark = int(m_sim->lines().size());
        const Reply reply = http(method, path, body);
        QVERIFY2(reply.status == status, reply.body.constData());
        QVERIFY2(QRegularExpression(answer, QRegularExpression::DotMatchesEverythingOption)
                     .match(reply.body)
                     .hasMatch(),
                 reply.body.constData());
        if (received.isEmpty())
            QVERIFY(nothingReachedClockSince(mark));
        else
            QVERIFY2(m_sim->waitForLine(QRegularExpression(received), 3000, mark).hasMatch(),
                     qPrintable(m_sim->lines().mid(mark).join(QLatin1Char('\n'))));
    }

    // While a settings read waits for its answer, another command is refused
    // and the status answered at once.
    void oneCommandAtATime() {
        QVERIFY(startBoth({QStringLiteral("--delay"), QStringLiteral("1500")}));
        QNetworkReply* read = send("GET", QStringLiteral("/settings/1"));
        QVERIFY(QTest::qWaitFor(
            [this] { return http("GET", QStringLiteral("/status")).json()["lineHeld"].toBool(); }));
        const Reply refused =
            http("POST", QStringLiteral("/countdown"), "{\"clock\":1,\"time\":\"10:00:00\"}");
        QCOMPARE(refused.status, 409);
        QVERIFY(
            refused.json()["error"].toString().startsWith(QLatin1String("Another command holds the line")));
        QVERIFY(!read->isFinished());
        QCOMPARE(wait(read).json()["message"].toString(), QStringLiteral("Read success!"));
        m_sim->lines();
        QVERIFY(m_sim->linesMatching(QRegularExpression(QStringLiteral(" RX DD"))).isEmpty());
    }

    void token() {
        QTemporaryDir dir;
        QVERIFY(startBoth({}, {QStringLiteral("--token-file"), tokenFileIn(dir, kToken + '\n')}));
        const int mark = int(m_sim->lines().size());
        for (const QByteArray& wrong : {QByteArray(), QByteArray("s3cret"), kToken + 'x'}) {
            const Reply refused =
                http("POST", QStringLiteral("/countdown"), "{\"clock\":1,\"time\":\"10:00:00\"}", wrong);
            QCOMPARE(refused.status, 401);
            QCOMPARE(refused.json()["error"].toString().left(22), QStringLiteral("Missing or wrong token"));
            QVERIFY(refused.headers.contains({"WWW-Authenticate", "Bearer realm=\"varo-clock-service\""}));
        }
        QCOMPARE(http("GET", QStringLiteral("/metrics")).status, 401);
        QCOMPARE(http("GET", QStringLiteral("/status"), {}, kToken).status, 200);
        QVERIFY(nothingReachedClockSince(mark, kToken));

        // The web socket is taken, then closed at once without the token.
        const auto liveClose = [this](const QUrl& url, const QByteArray& authorization) {
            QWebSocket socket;
            QNetworkRequest request(url);
            if (!authorization.isEmpty())
                request.setRawHeader("Authorization", authorization);
            QString first;
            connect(&socket, &QWebSocket::textMessageReceived, &socket,
                    [&first](const QString& m) { first = m; });
            socket.open(request);
            if (!QTest::qWaitFor([&] {
                    return !first.isEmpty() || socket.closeCode() != QWebSocketProtocol::CloseCodeNormal;
                }))
                return -1;
            return first.isEmpty() ? int(socket.closeCode()) : 0;
        };
        QUrl withToken = m_service->url(QStringLiteral("/live"), QStringLiteral("ws"));
        withToken.setQuery(QStringLiteral("token=") + kToken);
        QCOMPARE(liveClose(m_service->url(QStringLiteral("/live"), QStringLiteral("ws")), {}), 1008);
        QCOMPARE(liveClose(m_service->url(QStringLiteral("/live"), QStringLiteral("ws")), "Bearer wrong"),
                 1008);
        QCOMPARE(liveClose(m_service->url(QStringLiteral("/live"), QStringLiteral("ws")), "Bearer " + kToken),
                 0);
        QCOMPARE(liveClose(withToken, {}), 0);
    }

    void refusesToStart_data() {
        // %TOKEN% a file of `tokenText` and `mode`, %FIFO% a FIFO, %DIR% a folder, %BUSY% a port in use
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("tokenText");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");
        const QStringList port{QStringLiteral("--port"), QStringLiteral("/dev/varo-no-such-port")};
        const QStringList token{QStringLiteral("--token-file"), QStringLiteral("%TOKEN%")};
        QTest::newRow("no port") << QStringList() << kToken << 0600 << 2
                                 << "--port names the master clock's serial port";
        QTest::newRow("other computers without a token")
            << port + QStringList{"--listen", "0.0.0.0:8642"} << kToken << 0600 << 2
            << "--listen 0.0.0.0:8642 is reachable from other computers: give --token-file too";
        QTest::newRow("unsupported speed") << port + QStringList{"--baud", "1200"} << kToken << 0600 << 2
                                           << "--baud takes 4800, 9600, 19200 or 38400";
        QTest::newRow("token file others may read")
            << port + token << kToken << 0644 << 1 << "may be read or written by others than its owner";
        QTest::newRow("token file without a token")
            << port + token << QByteArray(" \n") << 0600 << 1 << "holds no token";
        QTest::newRow("a correction without its hours")
            << port + QStringList{"--correct-above", "0.5"} << kToken << 0600 << 2
            << "--correct-above needs --correct-between HH:MM-HH:MM";
        QTest::newRow("a threshold within the jitter")
            << port + QStringList{"--correct-above", "0.05", "--correct-between", "02:00-04:00"} << kToken
            << 0600 << 2 << "--correct-above takes seconds from 0.1 to 43200";
        QTest::newRow("hours that are none")
            << port + QStringList{"--correct-above", "0.5", "--correct-between", "22:00-24:00"} << kToken
            << 0600 << 2 << "--correct-between takes HH:MM-HH:MM";
        QTest::newRow("both directions of time")
            << port + QStringList{"--correct-above",   "0.5",
                                  "--correct-between", "02:00-04:00",
                                  "--chrony-socket",   "/run/varo-clock-chrony.sock"}
            << kToken << 0600 << 2 << "--correct-above and --chrony-socket are opposite directions";
        QTest::newRow("Prometheus not on the web")
            << port + QStringList{"--prometheus", "ftp://prometheus-1:9090"} << kToken << 0600 << 2
            << "--prometheus takes the http or https address of a Prometheus";
        QTest::newRow("token file a FIFO") << port + QStringList{"--token-file", "%FIFO%"} << kToken << 0600
                                           << 1 << "is a FIFO, not a regular file";
        QTest::newRow("token file a device") << port + QStringList{"--token-file", "/dev/zero"} << kToken
                                             << 0600 << 1 << "is a device, not a regular file";
        QTest::newRow("token file a folder") << port + QStringList{"--token-file", "%DIR%"} << kToken << 0600
                                             << 1 << "is a folder, not a regular file";
        QTest::newRow("token file beyond 4 KiB")
            << port + token << QByteArray(4097, 'x') << 0600 << 1 << "is larger than 4096 bytes";
        QTest::newRow("token file its group may read")
            << port + token << kToken << 0640 << 1 << "(mode 0640)";
        QTest::newRow("token file others may write") << port + token << kToken << 0602 << 1 << "(mode 0602)";
        QTest::newRow("a NUL in the token") << port + token << QByteArray("s3cret\0token", 12) << 0600 << 1
                                            << "holds a byte that is no printable ASCII character (0x00)";
        QTest::newRow("address in use") << port + QStringList{"--listen", "127.0.0.1:%BUSY%"} << kToken
                                        << 0600 << 1 << "cannot listen on 127.0.0.1:";
        QTest::newRow("an empty window")
            << port + QStringList{"--correct-above", "0.5", "--correct-between", "03:00-03:00"} << kToken
            << 0600 << 2 << "--correct-between takes HH:MM-HH:MM, two different times";
        QTest::newRow("no chrony socket") << port + QStringList{"--chrony-socket", ""} << kToken << 0600 << 2
                                          << "--chrony-socket needs the path of chronyd's socket";
    }
    void refusesToStart() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, tokenText);
        QFETCH(int, mode);
        QFETCH(int, status);
        QFETCH(QString, err);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("token")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(tokenText) == tokenText.size());
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(file.fileName()).constData(), mode_t(mode)), 0);
        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QTcpServer busy;
        QVERIFY(busy.listen(QHostAddress::LocalHost));
        for (QString& argument : arguments)
            argument.replace(QLatin1String("%TOKEN%"), file.fileName())
                .replace(QLatin1String("%FIFO%"), fifo)
                .replace(QLatin1String("%DIR%"), dir.path())
                .replace(QLatin1String("%BUSY%"), QString::number(busy.serverPort()));
        QProcess service;
        service.start(QStringLiteral(VARO_CLOCK_SERVICE_PATH), arguments);
        QVERIFY(service.waitForFinished());
        QCOMPARE(service.exitCode(), status);
        const QString said = QString::fromLocal8Bit(service.readAllStandardError());
        QVERIFY2(said.contains(err), qPrintable(said));
    }

    // A body beyond 64 KiB is refused before it is read whole; a client that
    // asks may send its body.
    void requestSize() {
        QVERIFY(startBoth({}));
        const int mark = int(m_sim->lines().size());
        QTcpSocket big;
        big.connectToHost(QHostAddress::LocalHost, m_service->port);
        QVERIFY(big.waitForConnected());
        big.write("PUT /settings/1 HTTP/1.1\r\nHost: x\r\nContent-Length: 1048576\r\n\r\n" +
                  QByteArray(1 << 20, 'x'));
        QByteArray answer;
        QVERIFY(QTest::qWaitFor([&] { return (answer += big.readAll()).endsWith("}\n"); }));
        QVERIFY2(answer.startsWith("HTTP/1.1 413 Payload Too Large\r\n"), answer.constData());
        QVERIFY(answer.endsWith("\r\n\r\n{\"error\":\"The request is larger than 64 KiB\"}\n"));

        QTcpSocket asking;
        asking.connectToHost(QHostAddress::LocalHost, m_service->port);
        QVERIFY(asking.waitForConnected());
        asking.write("PUT /settings/2 HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/plain\r\n"
                     "Expect: 100-continue\r\nContent-Length: " +
                     QByteArray::number(kClock2File.size()) + "\r\n\r\n");
        QVERIFY(QTest::qWaitFor([&] { return asking.bytesAvailable() > 0; }));
        QCOMPARE(asking.readAll(), QByteArray("HTTP/1.1 100 Continue\r\n\r\n"));
        asking.write(kClock2File);
        QVERIFY(QTest::qWaitFor([&] { return asking.peek(1 << 16).contains("Write success!"); }));
        const int first = m_sim->waitForLineWhere(
            [](const QString& line) { return kReceived.match(line).hasMatch(); }, 3000, mark);
        QVERIFY(first >= 0 && m_sim->lines().at(first).contains(QLatin1String(" RX CCB2")));
    }

    // Connections opened and dropped, some in the middle of a request, and
    // a client gone before its command's answer: the service lets them go
    // and answers the next.
    void clientsThatGoAway() {
        // A fresh service: no connection of an earlier test is open.
        m_simOptions = {QStringLiteral("none")};
        QVERIFY(startBoth({}));
        const int before = openDescriptors(m_service->pid());
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        for (int i = 0; i < 200; ++i) {
            sockets.push_back(std::make_unique<QTcpSocket>());
            sockets.back()->connectToHost(QHostAddress::LocalHost, m_service->port);
        }
        QVERIFY(QTest::qWaitFor([&] {
            return std::all_of(sockets.begin(), sockets.end(),
                               [](const auto& s) { return s->state() == QAbstractSocket::ConnectedState; });
        }));
        for (int i = 0; i < 200; i += 2)
            sockets[i]->write("POST /countdown HTTP/1.1\r\nContent-Length: 40\r\n\r\n{\"clo");
        QVERIFY(QTest::qWaitFor([&] { return openDescriptors(m_service->pid()) == before + 200; }));
        sockets.clear();
        QVERIFY(QTest::qWaitFor([&] { return openDescriptors(m_service->pid()) == before; }));

        const int mark = int(m_sim->lines().size());
        QTcpSocket leaving;
        leaving.connectToHost(QHostAddress::LocalHost, m_service->port);
        QVERIFY(leaving.waitForConnected());
        const QByteArray body = "{\"clock\":1,\"time\":\"10:00:00\"}";
        leaving.write("POST /countdown HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                      "Content-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
        QVERIFY(leaving.waitForBytesWritten());
        leaving.abort();
        QVERIFY(m_sim
                    ->waitForLine(QRegularExpression(QStringLiteral(" RX DDD1[0-9]{6} countdown clock 1 ")),
                                  3000, mark)
                    .hasMatch());
        QVERIFY(QTest::qWaitFor(
            [this] { return !http("GET", QStringLiteral("/status")).json()["lineHeld"].toBool(); }));
    }

    // The device behind a stable name goes away and comes back as another
    // one: the service reopens it.
    void deviceLostAndBack() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("clock"));
        m_service.reset();
        m_simOptions = {QStringLiteral("none")};
        m_sim = std::make_unique<SimProcess>();
        QVERIFY(m_sim->start({QStringLiteral("--persist")}));
        QVERIFY(QFile::link(m_sim->device(), link));
        m_service = std::make_unique<ServiceProcess>();
        QVERIFY(m_service->start({QStringLiteral("--port"), link}));
        const auto portOpen = [this] {
            return http("GET", QStringLiteral("/status")).json()["port"].toObject()["open"].toBool();
        };
        QVERIFY(QTest::qWaitFor(portOpen));

        m_sim.reset();
        QFile::remove(link);
        QVERIFY(QTest::qWaitFor([&] { return !portOpen(); }));
        QVERIFY(http("GET", QStringLiteral("/metrics")).body.contains("\nvaro_clock_port_open 0\n"));
        const Reply refused =
            http("POST", QStringLiteral("/countdown"), "{\"clock\":1,\"time\":\"10:00:00\"}");
        QCOMPARE(refused.status, 503);
        QVERIFY2(refused.json()["error"].toString().startsWith(QLatin1String("Writing Error 80")),
                 refused.body.constData());

        m_sim = std::make_unique<SimProcess>();
        QVERIFY(m_sim->start({QStringLiteral("--persist")}));
        QVERIFY(QFile::link(m_sim->device(), link));
        QVERIFY2(QTest::qWaitFor(portOpen), qPrintable(m_service->err()));
        QCOMPARE(http("POST", QStringLiteral("/countdown"), "{\"clock\":1,\"time\":\"10:00:00\"}").status,
                 200);
        QVERIFY(
            m_sim
                ->waitForLine(QRegularExpression(QStringLiteral(" RX DDD1[0-9]{6} countdown clock 1 ")), 3000)
                .hasMatch());
        QVERIFY(m_service->err().contains(QLatin1String("Lost the port: 802")));
    }

    // ser2net in a network namespace of the test's own, its address taken
    // away: the link dies without a word, and the service closes the port
    // with the reason within 30 s; the address given back, it opens it again.
    void deadLinkNoticedAndReopened() {
        if (::geteuid() != 0)
            QSKIP("a network namespace needs root");
        const NetworkNamespace network;
        QVERIFY(network.create());
        m_simOptions = {QStringLiteral("none")};
        m_sim = std::make_unique<SimProcess>();
        QVERIFY(m_sim->start({"--time-frames", "1", "--persist"}));
        Ser2net server(network.name, network.prefix + ".2");
        QCOMPARE(server.start({m_sim->device()}), QString());
        m_service = std::make_unique<ServiceProcess>();
        QVERIFY(m_service->start({QStringLiteral("--port"), server.url(0, true)}));
        const auto portOpen = [this](bool open) {
            return QTest::qWaitFor(
                [&] { return http("GET", "/status").json()["port"][QLatin1String("open")] == open; }, 30000);
        };
        QVERIFY(portOpen(true) && network.setFarAddressPresent(false));
        QVERIFY2(portOpen(false), qPrintable(m_service->err()));
        QVERIFY(http("GET", QStringLiteral("/metrics")).body.contains("\nvaro_clock_port_open 0\n"));
        QVERIFY(m_service->err().contains(
            QStringLiteral("Lost the port: 8022: %1: the connection to the server was lost (")
                .arg(server.url(0, true))));
        QVERIFY(network.setFarAddressPresent(true));
        QVERIFY2(portOpen(true), qPrintable(m_service->err()));
        QCOMPARE(http("POST", "/countdown", "{\"clock\":1,\"time\":\"10:00:00\"}").status, 200);
    }

    // The master clock 1.5 s ahead: /live shows it, a set-time brings it to
    // the computer's time and says so, /live tells of the command.
    void offsetLiveAndSetTime() {
        QVERIFY(startBoth({QStringLiteral("--time-frames"), QStringLiteral("1"),
                           QStringLiteral("--offset-ms"), QStringLiteral("1500")}));
        QWebSocket live;
        QList<QJsonObject> pushed;
        connect(&live, &QWebSocket::textMessageReceived, &live,
                [&pushed](const QString& m) { pushed << QJsonDocument::fromJson(m.toUtf8()).object(); });
        live.open(m_service->url(QStringLiteral("/live"), QStringLiteral("ws")));
        // On a pseudo-terminal the frame arrives at once, not after its 9.4 ms on the line.
        const auto offsetNear = [](const QJsonValue& masterClock, double ms) {
            return masterClock.isObject() &&
                   qAbs(masterClock[QStringLiteral("offsetMs")].toDouble() - ms) < 50;
        };
        QVERIFY(QTest::qWaitFor(
            [&] { return pushed.size() >= 2 && offsetNear(pushed.last()["masterClock"], 1500); }, 5000));
        QVERIFY(pushed.last()["masterClock"][QLatin1String("lastFrameAgeMs")].toInt() < 100);

        const Reply set = http("POST", QStringLiteral("/set-time"));
        QCOMPARE(set.status, 200);
        QVERIFY2(offsetNear(set.json()["masterClock"], 0), set.body.constData());
        QVERIFY(QTest::qWaitFor([&] {
            return std::any_of(pushed.begin(), pushed.end(), [](const QJsonObject& message) {
                return message["command"][QLatin1String("command")] == QStringLiteral("set_time");
            });
        }));
        const QRegularExpression offset(QStringLiteral("\nvaro_clock_offset_seconds (-?[0-9.e-]+)\n"));
        const double seconds =
            offset.match(http("GET", QStringLiteral("/metrics")).body).captured(1).toDouble();
        QVERIFY2(qAbs(seconds) < 0.05, qPrintable(QString::number(seconds)));
    }

    // The master clock 1.5 s ahead and a window around now: the service sets
    // it once, and says so; put ahead again at once, it is left alone for ten
    // minutes.
    void correctsOnce() {
        const QTime now = QTime::currentTime();
        const QString window = now.addSecs(-3600).toString(QStringLiteral("HH:mm-")) +
                               now.addSecs(3600).toString(QStringLiteral("HH:mm"));
        QVERIFY(startBoth({QStringLiteral("--time-frames"), QStringLiteral("1"),
                           QStringLiteral("--offset-ms"), QStringLiteral("1500")},
                          {QStringLiteral("--correct-above"), QStringLiteral("0.5"),
                           QStringLiteral("--correct-between"), window,
                           QStringLiteral("--correct-unsynchronized")}));
        QWebSocket live;
        QJsonObject correction;
        connect(&live, &QWebSocket::textMessageReceived, &live, [&correction](const QString& m) {
            const QJsonObject message = QJsonDocument::fromJson(m.toUtf8()).object();
            if (message.contains(QLatin1String("correction")))
                correction = message[QLatin1String("correction")].toObject();
        });
        live.open(m_service->url(QStringLiteral("/live"), QStringLiteral("ws")));

        const QRegularExpression setTime(QStringLiteral(" RX AA00[0-9]{14} set time "));
        QVERIFY2(m_sim->waitForLine(setTime, 10000).hasMatch(), qPrintable(m_service->err()));
        const QRegularExpressionMatch said =
            waitForSaid(*m_service,
                        QRegularExpression(
                            QStringLiteral("Master clock corrected: offset (\\S+) s before, (\\S+) s after")),
                        5000);
        QVERIFY2(said.hasMatch(), qPrintable(m_service->err()));
        QVERIFY2(qAbs(said.captured(1).toDouble() - 1.5) < 0.05 && qAbs(said.captured(2).toDouble()) < 0.05,
                 qPrintable(said.captured(0)));
        QVERIFY(QTest::qWaitFor([&] { return !correction.isEmpty(); }));
        QVERIFY(qAbs(correction[QLatin1String("offsetBeforeMs")].toDouble() - 1500) < 50);
        QVERIFY(qAbs(correction[QLatin1String("offsetAfterMs")].toDouble()) < 50);
        QVERIFY(http("GET", QStringLiteral("/metrics")).body.contains("\nvaro_clock_corrections_total 1\n"));
        QVERIFY(m_service->err().contains(
            "The master clock is set from the computer's clock when it is beyond 0.5 s "
            "in 3 time frames in a row, in the hours " +
            window + ", by a step of at most 60 s"));

        const QByteArray ahead =
            QTime::currentTime().addSecs(3).toString(QStringLiteral("HH:mm:ss")).toLatin1();
        QCOMPARE(http("POST", QStringLiteral("/set-time"), "{\"time\":\"" + ahead + "\"}").status, 200);
        QVERIFY2(
            waitForSaid(*m_service,
                        QRegularExpression(QStringLiteral(
                            "Master clock \\+[23]\\.\\d+ s off, beyond 0.5 s in 3 time frames in a row, not "
                            "corrected: the last correction was at [0-9:]+, less than 10 minutes ago\n")),
                        10000)
                .hasMatch(),
            qPrintable(m_service->err()));
        m_sim->lines();
        QCOMPARE(m_sim->linesMatching(setTime).size(), 2); // the correction's and the one typed
        QVERIFY(http("GET", QStringLiteral("/metrics")).body.contains("\nvaro_clock_corrections_total 1\n"));
    }

    // Three master clocks at once: one on a time zone 8 h ahead and one a day
    // ahead are never stepped, and say why once; one that ignores set-times is
    // found not taken, its next try twice as far off.
    void correctionGuards() {
        const QTime now = QTime::currentTime();
        const QString window = now.addSecs(-3600).toString("HH:mm-") + now.addSecs(3600).toString("HH:mm");
        struct Clock {
            QStringList offset;
            const char* said;    // once, in the service's log
            const char* metrics; // in /metrics
        };
        const Clock clocks[] = {
            {{"28800000"},
             "a step of \\+8 h 0 min 0 s is beyond --correct-max-step 60 s; its time of day is within a "
             "minute of "
             "\\+8 h off: likely a time zone other than this computer's\n",
             "refusals_total\\{reason=\"step\"\\} 1\n"},
            {{"86400000"},
             "Master clock \\+86400\\.\\d+ s off, .* its date is 1 day ahead of the computer's\n",
             "\nvaro_clock_offset_seconds 86400\\."},
            {{"1500", "--ignore-set-time"},
             "correction not taken: offset \\+1\\.5\\d+ s before, \\+1\\.5\\d+ s after, still beyond 0.5 s; "
             "the next "
             "try in 20 minutes at the earliest\n",
             "corrections_total 0\n.*failures_total 1\n"}};
        SimProcess sims[3];
        ServiceProcess services[3];
        for (int i = 0; i < 3; ++i)
            QVERIFY(sims[i].start(QStringList{"--time-frames", "1", "--persist", "--offset-ms"} +
                                  clocks[i].offset) &&
                    services[i].start({"--port", sims[i].device(), "--correct-above", "0.5",
                                       "--correct-unsynchronized", "--correct-between", window}));
        for (int i = 0; i < 3; ++i) {
            const auto get = [&](const char* path) {
                return wait(m_http.get(QNetworkRequest(services[i].url(path))));
            };
            const auto frames = [&] {
                return get("/status").json()["masterClock"][QLatin1String("frames")].toInt();
            };
            const QRegularExpression said(clocks[i].said);
            QVERIFY2(waitForSaid(services[i], said, 15000).hasMatch(), qPrintable(services[i].err()));
            const int seen = frames(); // said once, though the next frame is as far off
            QVERIFY(QTest::qWaitFor([&] { return frames() > seen; }) && services[i].err().count(said) == 1);
            QVERIFY(QRegularExpression(clocks[i].metrics, QRegularExpression::DotMatchesEverythingOption)
                        .match(get("/metrics").body)
                        .hasMatch());
            sims[i].lines();
            QCOMPARE(sims[i].linesMatching(QRegularExpression(" RX AA00[0-9]{14} set time ")).size(), i / 2);
        }
    }

    // The master clock as chronyd's reference: a real chronyd, -x so that it
    // never touches the computer's clock, with the documented refclock line,
    // takes the service's samples and finds the computer's clock 1.5 s slow.
    // The service starts first and finds no socket.
    void chronyReference() {
        const QString chronyd = programPath(QStringLiteral("chronyd"));
        const QString chronyc = programPath(QStringLiteral("chronyc"));
        if (chronyd.isEmpty() || chronyc.isEmpty())
            QSKIP("chronyd not found: scripts/setup.sh installs chrony");
        // chronyd takes a command socket only in a folder no one else may write to.
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner));
        const QString samples = dir.filePath(QStringLiteral("varo.sock"));
        const QString commands = dir.filePath(QStringLiteral("chronyd.sock"));
        QByteArray config = fencedBlock("", "# /etc/chrony/conf.d/varo-clock.conf");
        QVERIFY(config.contains("refclock SOCK /run/varo-clock-chrony.sock refid VARO poll 0 filter 1"));
        config.replace("/run/varo-clock-chrony.sock", QFile::encodeName(samples));
        config += "port 0\ncmdport 0\nbindcmdaddress " + QFile::encodeName(commands) + "\npidfile " +
                  QFile::encodeName(dir.filePath(QStringLiteral("chronyd.pid"))) + "\ndriftfile " +
                  QFile::encodeName(dir.filePath(QStringLiteral("drift"))) + '\n';
        QFile configFile(dir.filePath(QStringLiteral("chrony.conf")));
        QVERIFY(configFile.open(QIODevice::WriteOnly) && configFile.write(config) == config.size());
        configFile.close();
        QFile::remove(samples); // one left behind would keep chronyd from binding its socket

        QVERIFY(startBoth({QStringLiteral("--time-frames"), QStringLiteral("1"),
                           QStringLiteral("--offset-ms"), QStringLiteral("1500")},
                          {QStringLiteral("--chrony-socket"), samples}));
        const QString absent =
            QStringLiteral("chronyd's socket %1 takes no samples (No such file or directory)").arg(samples);
        QVERIFY2(
            waitForSaid(*m_service, QRegularExpression(QRegularExpression::escape(absent)), 5000).hasMatch(),
            qPrintable(m_service->err()));

        QProcess daemon;
        daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        QStringList arguments{QStringLiteral("-x"), QStringLiteral("-d"),
                              QStringLiteral("-f"), configFile.fileName(),
                              QStringLiteral("-u"), QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name)};
        if (::geteuid() != 0)
            arguments << QStringLiteral("-U"); // it need not be root: it sets no clock
        daemon.start(chronyd, arguments);
        QStringList tracking;
        const bool following = QTest::qWaitFor(
            [&] {
                QProcess client;
                client.start(chronyc, {QStringLiteral("-h"), commands, QStringLiteral("-c"),
                                       QStringLiteral("tracking")});
                client.waitForFinished();
                tracking = QString::fromLocal8Bit(client.readAllStandardOutput()).trimmed().split(',');
                return tracking.size() > 4 && tracking[1] == QLatin1String("VARO");
            },
            10000);
        daemon.terminate();
        daemon.waitForFinished();
        QVERIFY2(following, daemon.readAllStandardError().constData());
        // "System time": how far the computer's clock is slow of the reference.
        QVERIFY2(qAbs(tracking[4].toDouble() - 1.5) < 0.05, qPrintable(tracking.join(',')));
        QCOMPARE(m_service->err().count(absent), 1);
        QCOMPARE(m_service->err().count(QStringLiteral("Each time frame goes to chronyd as a sample, at ")),
                 1);
    }

    // The master clock as chronyd's reference, its samples read in chronyd's
    // place: a typed time is refused unless forced, and after the service is
    // held up 2.3 s no sample carries its lateness.
    void chronyTypedTimesAndLateFrames() {
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("varo.sock")));
        const int samples = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        const auto closeSamples = qScopeGuard([samples] { ::close(samples); });
        sockaddr_un address{AF_UNIX, {}};
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        QVERIFY(::bind(samples, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(startBoth({"--time-frames", "1", "--offset-ms", "1500"}, {"--chrony-socket", QString(path)}));
        const int mark = int(m_sim->lines().size());
        const Reply refused = http("POST", "/set-time", "{\"time\":\"09:07:05\"}");
        QVERIFY(refused.status == 409 &&
                refused.json()["error"].toString().startsWith("The master clock is chronyd's reference"));
        QVERIFY(nothingReachedClockSince(mark));
        QCOMPARE(http("POST", "/set-time", "{\"time\":\"09:07:05\",\"force\":true}").status, 200);
        QVERIFY(m_sim->waitForLine(QRegularExpression(" RX AA00[0-9]{8}090705 set time "), 3000, mark)
                    .hasMatch());
        QCOMPARE(http("POST", "/set-time").status, 200); // the computer's time again

        QList<double> offsetsMs; // of the samples, as they come
        const auto readSamples = [&] {
            double offset = 0;
            for (char sample[40]; ::recv(samples, sample, sizeof sample, 0) == sizeof sample;)
                offsetsMs << (std::memcpy(&offset, sample + 16, sizeof offset), offset * 1000);
            return offsetsMs.size();
        };
        QVERIFY(QTest::qWaitFor([&] { return readSamples() >= 2; }));
        // Held up while the clock sends two frames, to 300 ms after the last.
        const auto frameSent = [this](int from) {
            return m_sim->waitForLineWhere([](const QString& line) { return line.contains(" TX AA00"); },
                                           3000, from);
        };
        ::kill(pid_t(m_service->pid()), SIGSTOP);
        const int first = frameSent(int(m_sim->lines().size()));
        QVERIFY(first > 0 && frameSent(first + 1) > 0);
        QTest::qWait(300);
        ::kill(pid_t(m_service->pid()), SIGCONT);
        const qsizetype before = offsetsMs.size();
        QVERIFY(QTest::qWaitFor([&] { return readSamples() > before; }));
        for (const double offset : offsetsMs)
            QVERIFY2(qAbs(offset - offsetsMs.first()) < 10, qPrintable(QString::number(offset)));
        QVERIFY(waitForSaid(*m_service,
                            QRegularExpression("No samples for chronyd from time frames read late"), 1000)
                    .hasMatch());
    }

    // A real Prometheus scrapes the service with the documented
    // configuration; promtool accepts the metrics and the documented rules.
    void prometheusScrapes() {
        const QString prometheus = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
        const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
        if (prometheus.isEmpty() || promtool.isEmpty())
            QSKIP("prometheus not found on PATH: scripts/setup.sh installs it");
        QTemporaryDir dir;
        const QString token = tokenFileIn(dir);
        QVERIFY(startBoth({QStringLiteral("--time-frames"), QStringLiteral("1"),
                           QStringLiteral("--offset-ms"), QStringLiteral("1500")},
                          {QStringLiteral("--token-file"), token}));
        QString failure = failureOf(promtool, {QStringLiteral("check"), QStringLiteral("metrics")},
                                    http("GET", QStringLiteral("/metrics"), {}, kToken).body);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        QByteArray scrape = fencedBlock("yaml", "# /etc/prometheus/prometheus.yml, under scrape_configs:");
        QVERIFY(!scrape.isEmpty());
        const QString rulesFile =
            fileIn(dir, QStringLiteral("rules.yml"),
                   sourceFile(QStringLiteral("packaging/prometheus/varo-clock-rules.yml")));
        scrape.replace("/etc/prometheus/varo-clock.token", token.toUtf8())
            .replace("127.0.0.1:8642", "127.0.0.1:" + QByteArray::number(m_service->port));
        const QString configFile =
            fileIn(dir, QStringLiteral("prometheus.yml"),
                   "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\nrule_files:\n  - " +
                       rulesFile.toUtf8() + "\nscrape_configs:\n" + scrape);
        failure = failureOf(promtool, {QStringLiteral("check"), QStringLiteral("rules"), rulesFile}) +
                  failureOf(promtool, {QStringLiteral("check"), QStringLiteral("config"), configFile});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        LoopbackServer server(
            prometheus, {QStringLiteral("--config.file=") + configFile,
                         QStringLiteral("--storage.tsdb.path=") + dir.filePath(QStringLiteral("data"))});
        QJsonArray result;
        const bool scraped = QTest::qWaitFor(
            [&] { return !(result = query(server, QStringLiteral("varo_clock_offset_seconds"))).isEmpty(); },
            20000);
        QVERIFY2(scraped, server.said().constData());
        const double offset = result.first()[QLatin1String("value")][1].toString().toDouble();
        QVERIFY2(qAbs(offset - 1.5) < 0.05, qPrintable(QString::number(offset)));
    }

    // Two master clocks, studio-a 1.5 s ahead, watched by a real Prometheus
    // and a real Alertmanager through the package's example files, the rules'
    // for: times shortened as docs/fleet.md shows: the offset alert reaches
    // the web hook, naming studio-a, and studio-b has none; the house page
    // shows both clocks.
    void fleetAlerts() {
        const QString prometheus = programPath(QStringLiteral("prometheus"));
        const QString alertmanager = programPath(QStringLiteral("prometheus-alertmanager"));
        const QString promtool = programPath(QStringLiteral("promtool"));
        const QString amtool = programPath(QStringLiteral("amtool"));
        if (prometheus.isEmpty() || alertmanager.isEmpty() || promtool.isEmpty() || amtool.isEmpty())
            QSKIP("prometheus or prometheus-alertmanager not found: scripts/setup.sh installs them");
        QTemporaryDir dir;
        const QString token = tokenFileIn(dir);
        SimProcess clockA, clockB;
        ServiceProcess serviceA, serviceB;
        QVERIFY(clockA.start({"--time-frames", "1", "--offset-ms", "1500", "--persist"}));
        QVERIFY(clockB.start({"--time-frames", "1", "--persist"}));
        QVERIFY(serviceA.start(
            {QStringLiteral("--port"), clockA.device(), QStringLiteral("--token-file"), token}));
        QVERIFY(serviceB.start(
            {QStringLiteral("--port"), clockB.device(), QStringLiteral("--token-file"), token}));

        QHttpServer hook;
        QList<QJsonObject> notified;
        hook.route(QStringLiteral("/hook"), [&notified](const QHttpServerRequest& request) {
            for (const QJsonValue alert : QJsonDocument::fromJson(request.body())["alerts"].toArray())
                notified << alert.toObject();
            return QHttpServerResponse(QHttpServerResponder::StatusCode::Ok);
        });
        const quint16 hookPort = hook.listen(QHostAddress::LocalHost);
        QVERIFY(hookPort != 0);

        const auto example = [](const char* name) {
            return sourceFile(QStringLiteral("packaging/prometheus/") + name);
        };
        const QString alertmanagerConfig =
            fileIn(dir, QStringLiteral("alertmanager.yml"),
                   example("alertmanager.yml")
                       .replace("http://127.0.0.1:9099/varo-clock",
                                "http://127.0.0.1:" + QByteArray::number(hookPort) + "/hook")
                       .replace("group_wait: 30s", "group_wait: 1s"));
        LoopbackServer manager(
            alertmanager, {QStringLiteral("--config.file=") + alertmanagerConfig,
                           QStringLiteral("--storage.path=") + dir.filePath(QStringLiteral("alertmanager")),
                           QStringLiteral("--cluster.listen-address=")});
        fileIn(dir, QStringLiteral("varo-clock-rules.yml"),
               QString::fromUtf8(example("varo-clock-rules.yml"))
                   .replace(
                       QRegularExpression(QStringLiteral("for: \\d+m$"), QRegularExpression::MultilineOption),
                       QStringLiteral("for: 3s"))
                   .toUtf8());
        fileIn(dir, QStringLiteral("varo-clock.token"), kToken);
        fileIn(dir, QStringLiteral("varo-clock-targets.yml"),
               QStringLiteral("- targets: ['127.0.0.1:%1']\n  labels:\n    clock: studio-a\n"
                              "- targets: ['127.0.0.1:%2']\n  labels:\n    clock: studio-b\n")
                   .arg(serviceA.port)
                   .arg(serviceB.port)
                   .toUtf8());
        const QString prometheusConfig =
            fileIn(dir, QStringLiteral("prometheus.yml"),
                   "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n" +
                       example("prometheus.yml")
                           .replace("localhost:9093", "127.0.0.1:" + QByteArray::number(manager.port)));
        const QString failure =
            failureOf(promtool, {QStringLiteral("check"), QStringLiteral("config"), prometheusConfig}) +
            failureOf(amtool, {QStringLiteral("check-config"), alertmanagerConfig});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        LoopbackServer server(
            prometheus, {QStringLiteral("--config.file=") + prometheusConfig,
                         QStringLiteral("--storage.tsdb.path=") + dir.filePath(QStringLiteral("data"))});

        // Each offset alert as its clock and summary.
        const auto offsetAlerts = [&notified] {
            QStringList alerts;
            for (const QJsonObject& alert : notified)
                if (alert["labels"][QLatin1String("alertname")] == QLatin1String("VaroClockOffsetHigh"))
                    alerts << alert["labels"][QLatin1String("clock")].toString() + ": " +
                                  alert["annotations"][QLatin1String("summary")].toString();
            return alerts;
        };
        QVERIFY2(QTest::qWaitFor([&] { return !offsetAlerts().isEmpty(); }, 40000),
                 (server.said() + manager.said()).constData());
        QCOMPARE(offsetAlerts().size(), 1);
        QVERIFY2(offsetAlerts()[0].contains(QRegularExpression(QStringLiteral(
                     "^studio-a: Master clock studio-a is \\+1\\.[45] s off the computer's clock: set it"))),
                 qPrintable(offsetAlerts()[0]));
        // Prometheus has studio-b's offset, and no alert of it, not even a pending one.
        const QJsonArray offsetB =
            query(server, QStringLiteral("varo_clock_offset_seconds{clock=\"studio-b\"}"));
        QVERIFY(offsetB.size() == 1 &&
                qAbs(offsetB[0][QLatin1String("value")][1].toString().toDouble()) < 0.05);
        const QJsonArray alerts = query(server, QStringLiteral("ALERTS{alertname=\"VaroClockOffsetHigh\"}"));
        QVERIFY(alerts.size() == 1 &&
                alerts[0][QLatin1String("metric")][QLatin1String("clock")] == QLatin1String("studio-a"));

        // The house page of a third clock's service, asking this Prometheus:
        // both clocks, studio-a first and red, readable on a wall and a phone.
        if (HeadlessChromium::program().isEmpty())
            QSKIP("chromium not found on PATH: scripts/setup.sh installs it");
        SimProcess clockC;
        ServiceProcess house;
        QVERIFY(clockC.start({}));
        QVERIFY(house.start({QStringLiteral("--port"), clockC.device(), QStringLiteral("--token-file"), token,
                             QStringLiteral("--prometheus"), server.url(QString()).toString()}));
        HeadlessChromium page;
        QVERIFY(page.open(house.url(QStringLiteral("/house"))));
        QVERIFY(page.waitUntil("!element('token-form').hidden"));
        page.evaluate("element('token').value = '" + kToken + "'; element('token-form').requestSubmit()");
        QVERIFY2(page.waitUntil("element('tiles').children.length === 2"),
                 qPrintable(page.evaluate("document.body.innerText").toString()));
        const QString tiles =
            page.evaluate("[...element('tiles').children].map((tile) => tile.dataset.level + ' ' + "
                          "tile.innerText.replace(/\\s+/g, ' ').trim()).join(' | ')")
                .toString();
        QVERIFY2(tiles.contains(QRegularExpression(
                     QStringLiteral("^red studio-a \\+1\\.[45]\\d\\d s Port open PC clock [a-z ]+ \\| "
                                    "green studio-b [+-]0\\.0\\d\\d s Port open PC clock [a-z ]+$"))),
                 qPrintable(tiles));
        QVERIFY(page.screenshot(1920, 1080, false, QStringLiteral("house-page-1920x1080.png")));
        QVERIFY(page.screenshot(390, 844, true, QStringLiteral("house-page-phone.png")));
        QVERIFY(page.evaluate("document.documentElement.scrollWidth <= innerWidth").toBool());
        // Prometheus gone: the page says so and greys the tiles.
        server.stop();
        QVERIFY(page.waitUntil("element('house-state').textContent === 'Prometheus unreachable: Connection "
                               "refused' && element('tiles').className === 'old'"));
        QVERIFY2(page.errors().isEmpty(), qPrintable(page.errors().join(QLatin1Char('\n'))));
    }

    // The live page in headless Chromium: only the token's request without
    // the token; the master clock 1.5 s ahead in red, its time advancing; a
    // port name with markup shown as text; a countdown, a refusal and a
    // set-time from the page; a restart of the service survived; grey 5 s
    // after the last time frame.
    void livePage() {
        if (HeadlessChromium::program().isEmpty())
            QSKIP("chromium not found on PATH: scripts/setup.sh installs it");
        QTemporaryDir dir;
        const QString port = dir.filePath(QStringLiteral("<b>clock"));
        const QStringList options{QStringLiteral("--port"), port, QStringLiteral("--token-file"),
                                  tokenFileIn(dir)};
        m_service.reset();
        m_simOptions = {QStringLiteral("none")};
        m_sim = std::make_unique<SimProcess>();
        QVERIFY(m_sim->start({"--time-frames", "1", "--offset-ms", "1500", "--persist"}));
        QVERIFY(QFile::link(m_sim->device(), port));
        m_service = std::make_unique<ServiceProcess>();
        QVERIFY(m_service->start(options));
        for (const char* path : {"/", "/live.css", "/live.js", "/varo-clock.svg"})
            QVERIFY(http("GET", QString::fromLatin1(path))
                        .headers.contains({"Content-Security-Policy",
                                           "default-src 'self'; base-uri 'none'; "
                                           "form-action 'none'; frame-ancestors 'none'"}));

        HeadlessChromium page;
        QVERIFY(page.open(m_service->url(QStringLiteral("/"))));
        QVERIFY(page.waitUntil("document.body.innerText.replace(/\\s+/g, ' ') === "
                               "'Varo Clock This clock service needs its access token Connect'"));
        page.evaluate("element('token').value = '" + kToken + "'; element('token-form').requestSubmit()");
        QVERIFY(page.waitUntil("element('master-clock').className === 'red' && "
                               "element('offset-value').textContent === '+1.5 s' && "
                               "!!(window.first = element('clock-time').textContent)"));
        QVERIFY(page.waitUntil("/^\\d\\d:\\d\\d:\\d\\d$/.test(element('clock-time').textContent) && "
                               "element('clock-time').textContent !== first && "
                               "element('port').textContent.includes('/<b>clock, 9600 baud') && "
                               "!document.querySelector('#live b')"));

        const int mark = int(m_sim->lines().size());
        page.evaluate("element('countdown-clock').value = '2'; element('countdown-form').requestSubmit()");
        QVERIFY(m_sim
                    ->waitForLine(QRegularExpression(QStringLiteral(" RX DDD2[0-9]{6} countdown clock 2 ")),
                                  5000, mark)
                    .hasMatch());
        QVERIFY(page.waitUntil(
            "/^临时倒计时 sent: 倒计时钟2 to 10:00:00, \\d\\d:\\d\\d:\\d\\d to go$/.test("
            "element('countdown-result').textContent) && /^countdown done.* sent +\\S+<b>clock "
            "9600 DD D2 /.test(element('command-list').firstChild.textContent)"));
        page.evaluate("element('countdown-time').value = '25:00'; element('countdown-form').requestSubmit()");
        QVERIFY(page.waitUntil("element('countdown-result').textContent === "
                               "'\"time\" must be a time of day, \"HH:MM:SS\"'"));

        QVERIFY(page.screenshot(1920, 1080, false, QStringLiteral("live-page-1920x1080.png")));
        QVERIFY(page.evaluate("document.documentElement.scrollHeight <= innerHeight").toBool());
        QVERIFY(page.screenshot(390, 844, true, QStringLiteral("live-page-phone.png")));
        QVERIFY(page.evaluate("document.documentElement.scrollWidth <= innerWidth").toBool());
        qInfo("Screenshots: %s/live-page-1920x1080.png, live-page-phone.png",
              qPrintable(QDir::currentPath()));

        page.evaluate("element('set-time-form').requestSubmit()");
        QVERIFY(page.waitUntil(
            "/^北京时间校时 sent \\d{4}-\\d\\d-\\d\\d,[0-6],\\d\\d:\\d\\d:\\d\\d; the master clock "
            "shows \\d\\d:\\d\\d:\\d\\d, offset \\+0\\.0 s$/.test(element('set-time-result')."
            "textContent) && element('master-clock').className === 'green'"));
        const quint16 listening = m_service->port;
        m_service = std::make_unique<ServiceProcess>();
        QVERIFY(page.waitUntil("element('connection').textContent.startsWith('Disconnected') && "
                               "element('master-clock').className === 'grey'"));
        QVERIFY(m_service->start(options, listening));
        QVERIFY(page.waitUntil("element('connection').textContent === 'Live' && "
                               "element('master-clock').className === 'green'"));
        m_sim.reset();
        QVERIFY(page.waitUntil("element('master-clock').className === 'grey' && "
                               "/^No time frame for [5-7] s$/.test(element('frame-age').textContent)"));
        QVERIFY2(page.errors().isEmpty(), qPrintable(page.errors().join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(E2eServiceTest)
#include "tst_e2e_service.moc"
