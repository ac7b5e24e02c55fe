// The serial component on network ports, through Debian's ser2net in front
// of the master clock simulator and of a plain pseudo-terminal: each frame
// and answer by both transports, every byte value, the line speed set at the
// far end, the failures an operator can meet and a connection dropped while
// a command waits.
#include "KnownBytes.h"
#include "PseudoTerminal.h"
#include "Ser2net.h"
#include "SimLogLine.h"
#include "SimProcess.h"
#include "common/RuntimeError.h"
#include "protocol/Frames.h"
#include "protocol/WallClock.h"
#include "serial/NetworkSerialDevice.h"
#include "serial/SerialPortComponent.h"
#include "session/ClockSession.h"

#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(ClockRequest)
Q_DECLARE_METATYPE(ErrorNumber)

namespace {
constexpr int kSimDevice = 0;
constexpr int kPlainDevice = 1;

SerialDeviceFactory networkDevice(const QString& url, int openLimitMs = NetworkSerialDevice::kOpenLimitMs) {
    return [url, openLimitMs](int) {
        return std::make_unique<NetworkSerialDevice>(url, *NetworkPortAddress::parse(url), openLimitMs);
    };
}

// Opens the port once ser2net has let the device go from an earlier client
// (until then it hangs up or says the device is in use); the last failure
// when it never does.
QString openWhenFree(SerialPortComponent& port) {
    QString failure;
    const bool opened = QTest::qWaitFor([&] {
        try {
            port.setPortOpen(true);
            return true;
        } catch (const RuntimeError& error) {
            failure = error.description();
            return false;
        }
    });
    return opened ? QString() : failure;
}

RuntimeError openingError(SerialPortComponent& port) {
    try {
        port.setPortOpen(true);
    } catch (const RuntimeError& error) {
        return error;
    }
    return RuntimeError(ErrorNumber{}, QStringLiteral("opened"));
}
} // namespace

class NetworkPortsTest : public QObject {
    Q_OBJECT

private:
    SimProcess m_sim;
    PseudoTerminal m_plain;
    Ser2net m_ser2net;

private slots:
    void initTestCase() {
        QVERIFY(m_sim.start({QStringLiteral("--persist")}));
        QCOMPARE(m_ser2net.start({m_sim.device(), m_plain.slavePath()}), QString());
    }

    void framesAndAnswers_data() {
        QTest::addColumn<bool>("rfc2217");
        QTest::addColumn<ClockRequest>("request");
        QTest::addColumn<QString>("logged");
        // Bytes a telnet layer might mangle: IAC (FF) doubled, CR NUL, CR.
        const QByteArray records = hexBytes("0D00FF0DFFFF") + kDefaultRecords.mid(6);
        for (bool rfc2217 : {true, false}) {
            const char* via = rfc2217 ? "rfc2217" : "socket";
            QTest::addRow("%s set time", via)
                << rfc2217 << ClockRequest::typedTime(QTime(9, 7, 45)) << "set time .* 09:07:45";
            QTest::addRow("%s countdown", via)
                << rfc2217 << ClockRequest::countdown(0, QTime(10, 0)) << "countdown clock 1 .* target .*";
            QTest::addRow("%s write", via)
                << rfc2217 << ClockRequest::writeSettings(1, [records] { return records; })
                << "write clock 2 .*";
            QTest::addRow("%s read", via)
                << rfc2217 << ClockRequest::readSettings(0) << "read request clock 1";
            for (char status : {'A', 'V'})
                QTest::addRow("%s RMC %c", via, status)
                    << rfc2217 << ClockRequest::rmc(status)
                    << QStringLiteral("RMC [0-9]{6}.123 %1 [0-9]{6} checksum ok").arg(status);
        }
    }
    void framesAndAnswers() {
        QFETCH(bool, rfc2217);
        QFETCH(ClockRequest, request);
        QFETCH(QString, logged);
        SerialPortComponent port(networkDevice(m_ser2net.url(kSimDevice, rfc2217)));
        QCOMPARE(openWhenFree(port), QString());
        SystemWallClock clock;
        ClockSession session(port, clock);
        const int from = int(m_sim.lines().size());
        const ClockOutcome outcome = session.run(request, *session.holdLine());
        QCOMPARE(outcome.status, ClockOutcome::Status::Done);
        const QString hex = QString::fromLatin1(outcome.sent.toHex().toUpper());
        QVERIFY2(m_sim.waitForLine(logLine(QStringLiteral("RX"), hex, logged), 5000, from).hasMatch(),
                 qPrintable(m_sim.lines().mid(from).join('\n')));
    }

    void everyByteValueBothWays_data() {
        QTest::addColumn<bool>("rfc2217");
        QTest::newRow("rfc2217") << true;
        QTest::newRow("socket") << false;
    }
    void everyByteValueBothWays() {
        QFETCH(bool, rfc2217);
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        SerialPortComponent port(networkDevice(m_ser2net.url(kPlainDevice, rfc2217)));
        QCOMPARE(openWhenFree(port), QString());
        port.Output(all + all);
        QCOMPARE(m_plain.read(512), all + all);
        m_plain.write(all + all);
        QTRY_COMPARE(port.InBufferCount(), 512);
        QCOMPARE(port.Input(), all + all);
    }

    void lineSpeedReachesTheDevice_data() {
        QTest::addColumn<QString>("settings");
        for (const char* settings : {"4800,n,8,1", "19200,n,8,1", "38400,n,8,1"})
            QTest::newRow(settings) << settings;
    }
    void lineSpeedReachesTheDevice() {
        QFETCH(QString, settings);
        SerialPortComponent port(networkDevice(m_ser2net.url(kPlainDevice, true)));
        QCOMPARE(openWhenFree(port), QString());
        // As the line-speed menu does it: close, set, open again.
        port.setPortOpen(false);
        port.setSettings(settings);
        QCOMPARE(openWhenFree(port), QString());
        QProcess stty;
        stty.start(QStringLiteral("stty"), {QStringLiteral("-F"), m_plain.slavePath()});
        QVERIFY(stty.waitForFinished());
        QVERIFY2(stty.readAllStandardOutput().startsWith("speed " + settings.section(',', 0, 0).toLatin1() +
                                                         " baud;"),
                 "stty shows another speed");
    }

    void failuresSayWhy_data() {
        QTest::addColumn<QString>("url"); // %SILENT%: a server that never answers; %LATE%: see failuresSayWhy
        QTest::addColumn<QString>("holder"); // a connection opened first
        QTest::addColumn<ErrorNumber>("number");
        QTest::addColumn<QString>("description");
        QTcpServer unused;
        unused.listen(QHostAddress::LocalHost);
        const quint16 unusedPort = unused.serverPort();
        unused.close();
        const QString refused = QStringLiteral("rfc2217://127.0.0.1:%1").arg(unusedPort);
        const QString rfc2217 = m_ser2net.url(kSimDevice, true);
        const QString raw = m_ser2net.url(kSimDevice, false);
        QTest::newRow("refused") << refused << QString() << ErrorNumber::InvalidPortNumber
                                 << QStringLiteral("%1: no server takes connections at port %2 of 127.0.0.1 "
                                                   "(Connection refused)")
                                        .arg(refused)
                                        .arg(unusedPort);
        QTest::newRow("unreachable") << "rfc2217://224.0.0.1:2217" << QString()
                                     << ErrorNumber::HardwareNotAvailable
                                     << "rfc2217://224.0.0.1:2217 cannot be reached (Network unreachable)";
        QTest::newRow("port in use")
            << rfc2217 << rfc2217 << ErrorNumber::HardwareNotAvailable
            << rfc2217 + " is in use by another program: the server says \"Port already in use\"";
        QTest::newRow("device in use") << rfc2217 << raw << ErrorNumber::HardwareNotAvailable
                                       << rfc2217 + " is in use by another program: the server says "
                                                    "\"Port's device already in use\"";
        QTest::newRow("device in use, said late")
            << "%LATE%" << QString() << ErrorNumber::HardwareNotAvailable
            << "%LATE% is in use by another program: the server says \"Port's device already in use\"";
        QTest::newRow("no answer") << "%SILENT%" << QString() << ErrorNumber::HardwareNotAvailable
                                   << "%SILENT%: the server did not set up the line within 1 s";
    }
    void failuresSayWhy() {
        QFETCH(QString, url);
        QFETCH(QString, holder);
        QFETCH(ErrorNumber, number);
        QFETCH(QString, description);
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        const QString silentUrl = QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.serverPort());
        // Says its device is in use a moment after a connection and hangs up;
        // a client that spoke first loses the words, as with ser2net, whose
        // system resets a connection closed with bytes unread.
        QTcpServer late;
        QVERIFY(late.listen(QHostAddress::LocalHost));
        connect(&late, &QTcpServer::newConnection, &late, [&late] {
            QTcpSocket* client = late.nextPendingConnection();
            connect(client, &QTcpSocket::readyRead, client, &QTcpSocket::abort);
            QTimer::singleShot(20, client, [client] {
                client->write("Port's device already in use\r\n");
                client->disconnectFromHost();
            });
        });
        const QString lateUrl = QStringLiteral("rfc2217://127.0.0.1:%1").arg(late.serverPort());
        url.replace(QLatin1String("%SILENT%"), silentUrl).replace(QLatin1String("%LATE%"), lateUrl);
        SerialPortComponent held(networkDevice(holder));
        if (!holder.isEmpty())
            QCOMPARE(openWhenFree(held), QString());
        SerialPortComponent port(networkDevice(url, 300));
        const RuntimeError error = openingError(port);
        QCOMPARE(error.description(), description.replace(QLatin1String("%SILENT%"), silentUrl)
                                          .replace(QLatin1String("%LATE%"), lateUrl));
        QCOMPARE(error.number(), number);
        QVERIFY(!port.PortOpen());
    }

    void droppedConnectionEndsTheWait_data() { everyByteValueBothWays_data(); }
    void droppedConnectionEndsTheWait() {
        QFETCH(bool, rfc2217);
        const QString url = m_ser2net.url(kSimDevice, rfc2217);
        SerialPortComponent port(networkDevice(url));
        QCOMPARE(openWhenFree(port), QString());
        // Waiting for a time frame the simulator never sends, when the server hangs up.
        QTimer::singleShot(0, [&] { QVERIFY(m_ser2net.hangUp(kSimDevice, rfc2217)); });
        SystemWallClock clock;
        ClockSession session(port, clock);
        const ClockOutcome outcome = session.run(ClockRequest::timeFrame(), *session.holdLine());
        QCOMPARE(outcome.status, ClockOutcome::Status::Failed);
        QCOMPARE(outcome.error->number(), ErrorNumber::DeviceLost);
        QCOMPARE(outcome.error->description(),
                 url + ": the connection to the server was lost (The remote host closed the connection)");
        QVERIFY(!port.PortOpen());
    }
};

QTEST_GUILESS_MAIN(NetworkPortsTest)
#include "tst_network_ports.moc"
