#include "FrameLog.h"
#include "KnownBytes.h"
#include "PeerPort.h"
#include "SimProcess.h"
#include "gps/RmcSentence.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
QRegularExpression lineWith(const QString& pattern) {
    return QRegularExpression(pattern);
}

qint64 logTimeUs(const QString& line) {
    return FrameLog::parseLine(line).value_or(FrameLog::Entry{}).atUs;
}

// BCD seconds since midnight of bytes 6 to 8 of a time frame.
int frameSeconds(const QByteArray& frame) {
    const auto value = [&frame](int i) {
        return (quint8(frame[i]) >> 4) * 10 + (quint8(frame[i]) & 0x0F);
    };
    return value(6) * 3600 + value(7) * 60 + value(8);
}
} // namespace

class ClockSimulatorTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithTheDeviceLine();
    void readRequestGetsTheDefaults_data();
    void readRequestGetsTheDefaults();
    void writeIsStoredWithBit7Cleared();
    void timeFramesFollowTheSetTime();
    void rmcChecksumIsChecked();
    void countdownRunsToItsTarget();
    void strayAndIncompleteInputIsDropped();
    void silentNeverAnswers();
    void cutSendsOnlyTheFirstBytes();
    void foreignAnswersCarryTheOtherCodes();
    void splitSendsPiecesWithPauses();
    void strayBytesPrecedeTheAnswer();
    void delayHoldsTheAnswerBack();
    void signalEndsWithStatusZero_data();
    void signalEndsWithStatusZero();
    void peerClosingEndsTheRun();
    void reopeningWithinTheGraceKeepsItRunning();
    void persistOutlivesThePeer();
    void deviceOptionUsesTheGivenDevice();
    void badOptionIsRejected();

private:
    // Starts the simulator and opens its device as the peer.
    bool connectTo(SimProcess& sim, PeerPort& peer, const QStringList& arguments = {});
};

bool ClockSimulatorTest::connectTo(SimProcess& sim, PeerPort& peer, const QStringList& arguments) {
    return sim.start(arguments) && peer.open(sim.device());
}

void ClockSimulatorTest::startsWithTheDeviceLine() {
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString logFile = directory.filePath(QStringLiteral("sim.log"));
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--log-file"), logFile}));
    QVERIFY(sim.device().startsWith(QStringLiteral("/dev/pts/")));
    const QRegularExpression started(QStringLiteral(
        "^\\d\\d:\\d\\d:\\d\\d\\.\\d{6} t=\\d{16} EV - master clock on /dev/pts/\\d+, clock time "
        "\\d{4}-\\d\\d-\\d\\d weekday [0-6] \\d\\d:\\d\\d:\\d\\d$"));
    const QRegularExpressionMatch line = sim.waitForLine(started);
    QVERIFY(line.hasMatch());

    // The log file holds the same lines; each is flushed as it is written.
    QFile file(logFile);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList fileLines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QVERIFY(fileLines.size() >= 2);
    QCOMPARE(fileLines.at(0), QStringLiteral("DEVICE ") + sim.device());
    QCOMPARE(fileLines.at(1), line.captured(0));
}

void ClockSimulatorTest::readRequestGetsTheDefaults_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("replyHeader");
    QTest::newRow("clock 1") << QByteArray::fromHex("BBA1") << QByteArray::fromHex("BBB1");
    QTest::newRow("clock 2") << QByteArray::fromHex("BBA2") << QByteArray::fromHex("BBB2");
}

void ClockSimulatorTest::readRequestGetsTheDefaults() {
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, replyHeader);
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer));
    QVERIFY(peer.write(request));
    QCOMPARE(peer.read(50).toHex(), (replyHeader + kDefaultRecords).toHex());
    const QString clock = QString::number(quint8(request[1]) - 0xA0);
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(" RX %1 read request clock %2$")
                                         .arg(QString::fromLatin1(request.toHex().toUpper()), clock)))
                .hasMatch());
    QVERIFY(sim
                .waitForLine(lineWith(
                    QStringLiteral(" TX %1 settings reply clock %2 \\| 1 valid refresh 07:00:00 "
                                   "length 08:00:00 static \\| 2 valid")
                        .arg(QString::fromLatin1((replyHeader + kDefaultRecords).toHex().toUpper()), clock)))
                .hasMatch());
}

void ClockSimulatorTest::writeIsStoredWithBit7Cleared() {
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer));
    QByteArray records = kDefaultRecords;
    records[0] = char(0x87);         // row 1 refresh hours 07 with bit 7
    records[6 * 2 + 3] = char(0xD1); // row 3 static length hours 11 with bit 7
    records[6 * 7] = char(0x96);     // row 8 refresh hours 16 with bit 7
    QVERIFY(peer.write(QByteArray::fromHex("CCB2") + records));
    QCOMPARE(peer.read(50).toHex(), (QByteArray::fromHex("CCC2") + kDefaultRecords).toHex());
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(
                                " RX CCB2870000.* write clock 2 .*\\(bit 7 cleared in rows 1,3,8\\)$")))
                .hasMatch());

    QVERIFY(peer.write(QByteArray::fromHex("BBA2")));
    QCOMPARE(peer.read(50).toHex(), (QByteArray::fromHex("BBB2") + kDefaultRecords).toHex());

    QByteArray changed = kDefaultRecords;
    changed[0] = char(0x73); // row 1: ignore hours, not valid
    QVERIFY(peer.write(QByteArray::fromHex("CCB2") + changed));
    QCOMPARE(peer.read(50).toHex(), (QByteArray::fromHex("CCC2") + changed).toHex());
    QVERIFY(peer.write(QByteArray::fromHex("BBA2")));
    QCOMPARE(peer.read(50).toHex(), (QByteArray::fromHex("BBB2") + changed).toHex());
    QVERIFY(peer.write(QByteArray::fromHex("BBA1")));
    QCOMPARE(peer.read(50).toHex(), (QByteArray::fromHex("BBB1") + kDefaultRecords).toHex());
}

void ClockSimulatorTest::timeFramesFollowTheSetTime() {
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--time-frames"), QStringLiteral("1")}));
    // Nobody listens yet: the frame is dropped, as at a closed port.
    QVERIFY(sim.waitForLine(
                   lineWith(QStringLiteral(" TX AA00\\w{14} clock time .* \\[not delivered: nobody has the "
                                           "device open\\]$")))
                .hasMatch());
    PeerPort peer;
    QVERIFY(peer.open(sim.device()));

    const QByteArray setTime = QByteArray::fromHex("AA0024030502090745");
    QElapsedTimer sinceSet;
    QVERIFY(peer.write(setTime));
    sinceSet.start();
    QVERIFY(sim.waitForLine(
                   lineWith(QStringLiteral(" RX AA0024030502090745 set time 2024-03-05 weekday 2 09:07:45$")))
                .hasMatch());

    // Frames of the computer's time may still come before the first one of the set time.
    QByteArray frame;
    do {
        frame = peer.read(9);
        QCOMPARE(frame.size(), 9);
        QCOMPARE(frame.left(2).toHex(), QByteArray("aa00"));
    } while (frame.mid(2, 4) != QByteArray::fromHex("24030502"));
    const int afterSet = frameSeconds(frame) - frameSeconds(setTime);
    QVERIFY2(afterSet >= 1 && afterSet <= sinceSet.elapsed() / 1000 + 1, qPrintable(frame.toHex()));

    const QByteArray next = peer.read(9);
    QCOMPARE(next.left(6).toHex(), frame.left(6).toHex());
    QCOMPARE(frameSeconds(next), frameSeconds(frame) + 1);

    // Each frame leaves right after the clock's second boundary, so they are a second apart.
    QVERIFY(
        sim.waitForLine(lineWith(QStringLiteral(" TX %1 ").arg(QString::fromLatin1(next.toHex().toUpper()))))
            .hasMatch());
    const QStringList sent =
        sim.linesMatching(lineWith(QStringLiteral(" TX AA00240305\\w{8} clock time 2024-03-05 ")));
    QVERIFY(sent.size() >= 2);
    const qint64 gapUs = logTimeUs(sent.at(1)) - logTimeUs(sent.at(0));
    QVERIFY2(qAbs(gapUs - 1'000'000) < 50'000, qPrintable(QString::number(gapUs)));
}

void ClockSimulatorTest::rmcChecksumIsChecked() {
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer));
    const QByteArray good = RmcSentence::build(QTime(12, 34, 56), QDate(2026, 12, 6), 'A').bytes;
    QVERIFY(peer.write(good));
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(" RX 2447\\w+0D0A RMC 123456.123 A 061226 checksum ok$")))
                .hasMatch());

    QByteArray corrupted = good;
    corrupted.replace(",A,", ",V,"); // the checksum still belongs to "A"
    QVERIFY(peer.write(corrupted));
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(
                                " RMC 123456.123 V 061226 checksum bad \\(sent 02, computed 15\\)$")))
                .hasMatch());
}

void ClockSimulatorTest::countdownRunsToItsTarget() {
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer));
    // One write, so the clock time and the countdown start share one moment.
    QVERIFY(peer.write(QByteArray::fromHex("AA0024030502091530") + QByteArray::fromHex("DDD2004430") +
                       QByteArray::fromHex("DDD1000000")));
    QVERIFY(sim
                .waitForLine(lineWith(QStringLiteral(
                    " RX DDD2004430 countdown clock 2 00:44:30 target 2024-03-05 weekday 2 10:00:00$")))
                .hasMatch());
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(
                                " EV - countdown clock 1 ran out at 2024-03-05 weekday 2 09:15:30$")))
                .hasMatch());
}

void ClockSimulatorTest::strayAndIncompleteInputIsDropped() {
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer));
    QVERIFY(peer.write(QByteArray::fromHex("5555AA0024")));
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(" RX 5555 stray bytes dropped$"))).hasMatch());
    const QRegularExpressionMatch dropped =
        sim.waitForLine(lineWith(QStringLiteral(" RX AA0024 incomplete frame dropped \\(3 bytes\\)$")));
    QVERIFY(dropped.hasMatch());
    QVERIFY(peer.write(QByteArray::fromHex("BBA1")));
    QCOMPARE(peer.read(50).toHex(), (QByteArray::fromHex("BBB1") + kDefaultRecords).toHex());
}

void ClockSimulatorTest::silentNeverAnswers() {
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer, {QStringLiteral("--silent")}));
    QVERIFY(peer.write(QByteArray::fromHex("BBA1")));
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(" EV - answer withheld \\(--silent\\)$"))).hasMatch());
    QVERIFY(peer.nothingWaiting());
    QVERIFY(sim.linesMatching(lineWith(QStringLiteral(" TX "))).isEmpty());
}

void ClockSimulatorTest::cutSendsOnlyTheFirstBytes() {
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer, {QStringLiteral("--cut"), QStringLiteral("10")}));
    QVERIFY(peer.write(QByteArray::fromHex("BBA1")));
    // The line is logged after the write, so everything sent is waiting by then.
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(
                                " TX BBB1\\w{16} settings reply clock 1 .*\\[cut to 10 of 50 bytes\\]$")))
                .hasMatch());
    QCOMPARE(peer.read(10).toHex(), (QByteArray::fromHex("BBB1") + kDefaultRecords).left(10).toHex());
    QVERIFY(peer.nothingWaiting());
}

void ClockSimulatorTest::foreignAnswersCarryTheOtherCodes() {
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer, {QStringLiteral("--foreign")}));
    QVERIFY(peer.write(QByteArray::fromHex("BBA1")));
    QCOMPARE(peer.read(50).toHex(), (QByteArray::fromHex("CCC1") + kDefaultRecords).toHex());
    QVERIFY(peer.write(QByteArray::fromHex("CCB2") + kDefaultRecords));
    QCOMPARE(peer.read(50).toHex(), (QByteArray::fromHex("BBB2") + kDefaultRecords).toHex());
    QVERIFY(sim.waitForLine(
                   lineWith(QStringLiteral(" TX BBB2\\w+ settings reply clock 2 .*\\(foreign answer\\)$")))
                .hasMatch());
}

void ClockSimulatorTest::splitSendsPiecesWithPauses() {
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer,
                      {QStringLiteral("--split"), QStringLiteral("7"), QStringLiteral("--split-delay"),
                       QStringLiteral("50")}));
    QVERIFY(peer.write(QByteArray::fromHex("BBA1")));
    QCOMPARE(peer.read(50).toHex(), (QByteArray::fromHex("BBB1") + kDefaultRecords).toHex());
    QVERIFY(
        sim.waitForLine(lineWith(QStringLiteral(" TX \\w{2} settings reply clock 1 .*\\[piece 8 of 8\\]$")))
            .hasMatch());
    const QStringList pieces =
        sim.linesMatching(lineWith(QStringLiteral(" TX \\w+ settings reply .*\\[piece \\d of 8\\]$")));
    QCOMPARE(pieces.size(), 8);
    for (int i = 1; i < pieces.size(); ++i) {
        const qint64 gapUs = logTimeUs(pieces.at(i)) - logTimeUs(pieces.at(i - 1));
        QVERIFY2(gapUs >= 49'000, qPrintable(QString::number(gapUs)));
    }
}

void ClockSimulatorTest::strayBytesPrecedeTheAnswer() {
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer, {QStringLiteral("--stray"), QStringLiteral("3")}));
    QVERIFY(peer.write(QByteArray::fromHex("BBA1")));
    QCOMPARE(peer.read(53).toHex(), (QByteArray::fromHex("555555BBB1") + kDefaultRecords).toHex());
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(" TX 555555 stray bytes$"))).hasMatch());
}

void ClockSimulatorTest::delayHoldsTheAnswerBack() {
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer, {QStringLiteral("--delay"), QStringLiteral("300")}));
    QVERIFY(peer.write(QByteArray::fromHex("BBA1")));
    QCOMPARE(peer.read(50).toHex(), (QByteArray::fromHex("BBB1") + kDefaultRecords).toHex());
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(" TX BBB1"))).hasMatch());
    const QStringList requests =
        sim.linesMatching(lineWith(QStringLiteral(" RX BBA1 read request clock 1$")));
    const QStringList answers = sim.linesMatching(lineWith(QStringLiteral(" TX BBB1")));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(answers.size(), 1);
    const qint64 waitedUs = logTimeUs(answers.first()) - logTimeUs(requests.first());
    QVERIFY2(waitedUs >= 299'000, qPrintable(QString::number(waitedUs)));
}

void ClockSimulatorTest::signalEndsWithStatusZero_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void ClockSimulatorTest::signalEndsWithStatusZero() {
    QFETCH(int, signalNumber);
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer));
    QVERIFY(::kill(pid_t(sim.pid()), signalNumber) == 0);
    QCOMPARE(sim.waitForExit(), 0);
    QVERIFY(
        sim.waitForLine(lineWith(QStringLiteral(" EV - signal %1; ending$").arg(signalNumber))).hasMatch());
}

void ClockSimulatorTest::peerClosingEndsTheRun() {
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer, {QStringLiteral("--hangup-grace"), QStringLiteral("100")}));
    QVERIFY(peer.write(QByteArray::fromHex("BBA1")));
    QCOMPARE(peer.read(50).size(), 50);
    peer.close();
    QCOMPARE(sim.waitForExit(), 0);
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(" EV - peer closed the device; ending$"))).hasMatch());
}

void ClockSimulatorTest::reopeningWithinTheGraceKeepsItRunning() {
    SimProcess sim;
    PeerPort peer;
    // A program that probes the port first opens and closes it, then opens it for use.
    QVERIFY(connectTo(sim, peer, {QStringLiteral("--hangup-grace"), QStringLiteral("2000")}));
    peer.close();
    QVERIFY(peer.open(sim.device()));
    QVERIFY(peer.write(QByteArray::fromHex("BBA1")));
    QCOMPARE(peer.read(50).size(), 50);
    QVERIFY(sim.isRunning());
    peer.close();
    QCOMPARE(sim.waitForExit(), 0);
}

void ClockSimulatorTest::persistOutlivesThePeer() {
    SimProcess sim;
    PeerPort peer;
    QVERIFY(connectTo(sim, peer,
                      {QStringLiteral("--persist"), QStringLiteral("--hangup-grace"), QStringLiteral("0")}));
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(" EV - peers with the device open: 1$"))).hasMatch());
    peer.close();
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(" EV - peers with the device open: 0$"))).hasMatch());
    QVERIFY(peer.open(sim.device()));
    QVERIFY(peer.write(QByteArray::fromHex("BBA2")));
    QCOMPARE(peer.read(50).size(), 50);
    QVERIFY(sim.linesMatching(lineWith(QStringLiteral("ending$"))).isEmpty());
}

void ClockSimulatorTest::deviceOptionUsesTheGivenDevice() {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
    ::close(slave); // the simulator opens it by name
    termios raw{};
    QVERIFY(tcgetattr(master, &raw) == 0);
    cfmakeraw(&raw);
    QVERIFY(tcsetattr(master, TCSANOW, &raw) == 0);
    QVERIFY(fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) == 0);
    PeerPort line(master);

    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--device"), QString::fromLocal8Bit(name), QStringLiteral("--baud"),
                       QStringLiteral("19200")}));
    QCOMPARE(sim.device(), QString::fromLocal8Bit(name));
    QVERIFY(sim.waitForLine(lineWith(QStringLiteral(" EV - master clock on "))).hasMatch());
    QVERIFY(line.write(QByteArray::fromHex("BBA1")));
    QCOMPARE(line.read(50).toHex(), (QByteArray::fromHex("BBB1") + kDefaultRecords).toHex());
    QVERIFY(::kill(pid_t(sim.pid()), SIGTERM) == 0);
    QCOMPARE(sim.waitForExit(), 0);
}

void ClockSimulatorTest::badOptionIsRejected() {
    SimProcess sim;
    QVERIFY(!sim.start({QStringLiteral("--cut"), QStringLiteral("0")}));
    QCOMPARE(sim.waitForExit(), 2);
    QVERIFY(sim.standardError().contains(QStringLiteral("--cut needs a whole number of at least 1")));
}

QTEST_GUILESS_MAIN(ClockSimulatorTest)
#include "tst_ClockSimulator.moc"
