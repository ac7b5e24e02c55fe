// The pure parts of network ports: telnet's framing with every byte value,
// the RFC 2217 negotiation as ser2net 4.3 answers it (recorded bytes), split
// across reads anywhere, and the addresses an operator types.
#include "KnownBytes.h"
#include "serial/NetworkPortAddress.h"
#include "serial/PortNames.h"
#include "serial/Rfc2217Client.h"
#include "serial/SystemPortCatalog.h"

#include <QTest>

namespace {
const LineSettings k9600{9600, 'n', 8, 1};

// ser2net's first words on a telnet(rfc2217) port: WILL SGA, DO SGA, WILL
// ECHO, DONT ECHO, DO BINARY, WILL BINARY, DO COM-PORT-OPTION.
const QByteArray kServerGreeting = hexBytes("FFFB03 FFFD03 FFFB01 FFFE01 FFFD00 FFFB00 FFFD2C");
// Its acknowledgements of 9600 baud, 8 data bits, no parity, 1 stop bit and
// no flow control; a pseudo-terminal has no modem lines, so DTR and RTS stay
// unanswered.
const QByteArray kServerAcks = hexBytes("FFFA2C6500002580FFF0 FFFA2C6608FFF0 FFFA2C6701FFF0 FFFA2C6801FFF0 "
                                        "FFFA2C6901FFF0");
// Our answers to the greeting: DO SGA, WILL SGA, DONT ECHO, then the line
// settings with no flow control, DTR on and RTS on.
const QByteArray kClientAnswers =
    hexBytes("FFFD03 FFFB03 FFFE01 FFFA2C0100002580FFF0 FFFA2C0208FFF0 FFFA2C0301FFF0 "
             "FFFA2C0401FFF0 FFFA2C0501FFF0 FFFA2C0508FFF0 FFFA2C050BFFF0");

QByteArray everyByteValue() {
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

Rfc2217Client::Received receiveInPieces(Rfc2217Client& client, const QByteArray& wire, int piece) {
    Rfc2217Client::Received all;
    for (qsizetype at = 0; at < wire.size(); at += piece) {
        const Rfc2217Client::Received received = client.receive(wire.mid(at, piece));
        all.data += received.data;
        all.reply += received.reply;
    }
    return all;
}
} // namespace

class NetworkPortCodecTest : public QObject {
    Q_OBJECT

private slots:
    void negotiationThenEveryByteValue_data() {
        QTest::addColumn<int>("piece");
        for (int piece : {1, 2, 3, 7, 4096})
            QTest::addRow("pieces of %d", piece) << piece;
    }
    void negotiationThenEveryByteValue() {
        QFETCH(int, piece);
        const QByteArray all = everyByteValue();
        QCOMPARE(Telnet::escape(all), all + char(0xFF));

        Rfc2217Client client(k9600);
        QCOMPARE(client.greeting(), hexBytes("FFFB00 FFFD00 FFFB2C"));
        const Rfc2217Client::Received received = receiveInPieces(
            client, kServerGreeting + kServerAcks + Telnet::escape(all) + Telnet::escape(all), piece);
        QCOMPARE(received.reply, kClientAnswers);
        QCOMPARE(received.data, all + all);
        QCOMPARE(client.stage(), Rfc2217Client::Stage::Ready);
        QCOMPARE(Rfc2217Client::purgeRequest(), hexBytes("FFFA2C0C01FFF0"));
    }

    // What the server sends after our greeting: the line's data, our
    // answers, and why the line cannot be had (nothing while negotiating).
    void serverBytes_data() {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("refusal");
        const QByteArray none;
        const QString open;
        QTest::newRow("IAC IAC is one FF") << hexBytes("FFFF") << hexBytes("FF") << none << open;
        QTest::newRow("CR NUL stays") << hexBytes("0D00") << hexBytes("0D00") << none << open;
        QTest::newRow("CR LF stays") << hexBytes("0D0A") << hexBytes("0D0A") << none << open;
        QTest::newRow("NOP, data mark, break carry nothing")
            << hexBytes("41FFF142FFF243FFF344") << hexBytes("41424344") << none << open;
        QTest::newRow("FF inside a notice")
            << hexBytes("FFFA2C6BFFFFFFF0 41") << hexBytes("41") << none << open;
        QTest::newRow("other subnegotiation")
            << hexBytes("FFFA180141FFF0 42") << hexBytes("42") << none << open;
        QTest::newRow("command ends a subnegotiation")
            << hexBytes("FFFA2C65 FFFB01 41") << hexBytes("41") << hexBytes("FFFE01") << open;
        QTest::newRow("overlong subnegotiation")
            << hexBytes("FFFA2C") + QByteArray(300, 'A') + hexBytes("FFF0 42") << hexBytes("42") << none
            << open;
        QTest::newRow("unknown option refused") << hexBytes("FFFD18") << none << hexBytes("FFFC18") << open;
        QTest::newRow("what is on is not agreed again")
            << hexBytes("FFFB03FFFB03") << none << hexBytes("FFFD03") << open;
        QTest::newRow("what is off is not declined again")
            << hexBytes("FFFE01FFFC03") << none << none << open;
        const QByteArray acksButFlow = kServerAcks.left(kServerAcks.lastIndexOf(hexBytes("FFFA2C69")));
        QTest::newRow("flow control not yet answered")
            << kServerGreeting + acksButFlow + hexBytes("FFFA2C6908FFF0") << none << kClientAnswers << open;
        QTest::newRow("no COM-PORT-OPTION") << hexBytes("FFFD00 FFFB00 FFFE2C") << none << none
                                            << "the server does not set serial lines (no RFC 2217 "
                                               "COM-PORT-OPTION); socket:// reaches it without";
        QTest::newRow("no binary") << hexBytes("FFFE00") << none << none
                                   << "the server refuses binary transmission, which every byte value needs";
        QTest::newRow("other speed") << kServerGreeting + hexBytes("FFFA2C65000012C0FFF0") << none
                                     << kClientAnswers
                                     << "the server set the line speed 4800 instead of 9600";
        QTest::newRow("flow control stays")
            << kServerGreeting + acksButFlow + hexBytes("FFFA2C6903FFF0") << none << kClientAnswers
            << "the server keeps hardware flow control on";
    }
    void serverBytes() {
        QFETCH(QByteArray, wire);
        QFETCH(QString, refusal);
        Rfc2217Client client(k9600);
        client.greeting();
        const Rfc2217Client::Received received = client.receive(wire);
        QTEST(received.data, "data");
        QTEST(received.reply, "reply");
        QCOMPARE(client.refusal(), refusal);
        QCOMPARE(client.stage(),
                 refusal.isEmpty() ? Rfc2217Client::Stage::Negotiating : Rfc2217Client::Stage::Refused);
    }

    void addresses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("rfc2217") << "rfc2217://clock-room:4001" << true << false << "clock-room" << 4001;
        QTest::newRow("socket") << " socket://192.168.1.20:4002 " << true << true << "192.168.1.20" << 4002;
        QTest::newRow("IPv6") << "RFC2217://[fe80::1]:2217" << true << false << "fe80::1" << 2217;
        for (const char* bad : {"rfc2217://clock-room", "rfc2217://h:0", "socket://h:65536", "telnet://h:23",
                                "rfc2217://h:4001/x", "rfc2217://h:4001?logging=debug", "rfc2217://:4001"})
            QTest::newRow(bad) << bad << false << false << QString() << 0;
    }
    void addresses() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const std::optional<NetworkPortAddress> address = NetworkPortAddress::parse(text);
        QCOMPARE(address.has_value(), valid);
        QCOMPARE(PortNames::isDeviceName(text), valid);
        if (!valid)
            return;
        QTEST(address->protocol == NetworkPortAddress::Protocol::Raw, "raw");
        QTEST(address->host, "host");
        QTEST(int(address->port), "port");
        QCOMPARE(SystemPortCatalog().identify({text}).first().details(),
                 address->protocol == NetworkPortAddress::Protocol::Raw
                     ? "raw TCP network port: the line speed is the server's"
                     : "RFC 2217 network port");
    }
};

QTEST_GUILESS_MAIN(NetworkPortCodecTest)
#include "tst_network_port_codec.moc"
