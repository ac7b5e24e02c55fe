// Our RMC sentences as a real NMEA reader sees them: gpsd's gpsdecode must
// take the checksum and decode the time, date and fix status we meant.
//
// How gpsdecode 3.x answers, fed NMEA on its standard input:
// - every packet that passes its checksum is echoed on standard output as it
//   came; a packet with a wrong checksum is dropped and, from debug level 1,
//   logged on standard error as "bad checksum in NMEA packet; expected XX.";
// - a TPV report (JSON, "class":"TPV") with "time" follows only when an RMC
//   ends a reporting cycle, which needs an earlier RMC of another second:
//   hence a fixed lead-in sentence before ours;
// - an RMC without a valid fix ("V") gives no TPV time at all; from debug
//   level 6 the fields it decoded show in the line
//   "RMC: ddmmyy=... hhmmss=... mode=1".
#include "gps/RmcSentence.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {
// A valid sentence for 09:00:00.000 on 15 June 2026, a second that none of
// the cases below uses.
const QByteArray kLeadIn = "$GPRMC,090000.000,A,3114.1296,N,12128.0253,E,000.0,000.0,150626,,*0B\r\n";

struct GpsdView {
    QList<QByteArray> echoed; // the packets it accepted, without CR LF
    QList<QJsonObject> tpv;   // its TPV reports
    QString log;              // its diagnostics
};

QByteArray withoutLineEnd(QByteArray line) {
    while (line.endsWith('\r') || line.endsWith('\n'))
        line.chop(1);
    return line;
}

bool hasTpvAt(const GpsdView& view, const QString& time) {
    for (const QJsonObject& report : view.tpv)
        if (report.value(QStringLiteral("time")).toString() == time)
            return true;
    return false;
}

// The same sentence with a wrong second checksum digit.
QByteArray corrupted(QByteArray sentence) {
    sentence[67] = sentence[67] == '0' ? '1' : '0';
    return sentence;
}
} // namespace

class GpsdecodeTest : public QObject {
    Q_OBJECT

private:
    QString m_gpsdecode;

    GpsdView decode(const QByteArray& input) const {
        QProcess process;
        process.start(m_gpsdecode, {QStringLiteral("-D"), QStringLiteral("6")});
        if (!process.waitForStarted(10000))
            qFatal("gpsdecode did not start: %s", qPrintable(process.errorString()));
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(10000))
            qFatal("gpsdecode did not finish");
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            qFatal("gpsdecode failed with exit code %d", process.exitCode());

        GpsdView view;
        view.log = QString::fromLocal8Bit(process.readAllStandardError());
        for (const QByteArray& rawLine : process.readAllStandardOutput().split('\n')) {
            const QByteArray line = withoutLineEnd(rawLine);
            if (line.startsWith('$')) {
                view.echoed << line;
            } else if (line.startsWith('{')) {
                const QJsonObject report = QJsonDocument::fromJson(line).object();
                if (report.value(QStringLiteral("class")).toString() == QStringLiteral("TPV"))
                    view.tpv << report;
            }
        }
        return view;
    }

private slots:
    void initTestCase() {
        m_gpsdecode = QStandardPaths::findExecutable(QStringLiteral("gpsdecode"));
        if (m_gpsdecode.isEmpty())
            QSKIP("gpsdecode not found on PATH: install the Debian package gpsd-clients to check our RMC "
                  "sentences against gpsd");
    }

    void leadInAloneIsAccepted() {
        const GpsdView view = decode(kLeadIn);
        QCOMPARE(view.echoed, QList<QByteArray>{withoutLineEnd(kLeadIn)});
        QVERIFY2(!view.log.contains(QStringLiteral("bad checksum")), qPrintable(view.log));
    }

    void gpsdTakesOurSentence_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<char>("status");
        QTest::newRow("afternoon, fix valid") << QDate(2026, 12, 6) << QTime(12, 34, 56) << 'A';
        QTest::newRow("afternoon, fix not valid") << QDate(2026, 12, 6) << QTime(12, 34, 56) << 'V';
        QTest::newRow("letter in checksum, fix valid") << QDate(2026, 12, 6) << QTime(12, 34, 58) << 'A';
        QTest::newRow("new year, fix valid") << QDate(2027, 1, 1) << QTime(0, 0, 0) << 'A';
        QTest::newRow("new year, fix not valid") << QDate(2027, 1, 1) << QTime(0, 0, 0) << 'V';
        QTest::newRow("leap day, fix valid") << QDate(2028, 2, 29) << QTime(23, 59, 59) << 'A';
        QTest::newRow("single digits, fix valid") << QDate(2024, 9, 8) << QTime(1, 2, 3) << 'A';
        QTest::newRow("single digits, fix not valid") << QDate(2025, 3, 4) << QTime(5, 6, 7) << 'V';
    }
    void gpsdTakesOurSentence() {
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        QFETCH(char, status);
        const RmcSentence sentence = RmcSentence::build(time, date, status);
        const GpsdView view = decode(kLeadIn + sentence.bytes);

        QVERIFY2(!view.log.contains(QStringLiteral("bad checksum")), qPrintable(view.log));
        QVERIFY2(view.echoed.contains(withoutLineEnd(sentence.bytes)), sentence.bytes.constData());

        // The fields as gpsd read them, and whether it saw a fix.
        const QString decodedFields =
            QStringLiteral("RMC: ddmmyy=%1 hhmmss=%2\\.123 .* mode=%3 ")
                .arg(date.toString(QStringLiteral("ddMMyy")), time.toString(QStringLiteral("HHmmss")),
                     status == 'A' ? QStringLiteral("2") : QStringLiteral("1"));
        QVERIFY2(view.log.contains(QRegularExpression(decodedFields)), qPrintable(view.log));

        const QString gpsTime = QDateTime(date, time.addMSecs(123), Qt::UTC).toString(Qt::ISODateWithMs);
        if (status == 'A') {
            QVERIFY2(hasTpvAt(view, gpsTime), qPrintable(view.log));
            for (const QJsonObject& report : view.tpv)
                if (report.value(QStringLiteral("time")).toString() == gpsTime)
                    QVERIFY(report.value(QStringLiteral("mode")).toInt() >= 2);
        } else {
            // gpsd does not take the time of a receiver without a fix.
            QVERIFY(!hasTpvAt(view, gpsTime));
        }
    }

    void gpsdRejectsCorruptedChecksum_data() { gpsdTakesOurSentence_data(); }
    void gpsdRejectsCorruptedChecksum() {
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        QFETCH(char, status);
        const RmcSentence sentence = RmcSentence::build(time, date, status);
        const QByteArray wrong = corrupted(sentence.bytes);
        const GpsdView view = decode(kLeadIn + wrong);

        // gpsd names the checksum it computed itself: ours.
        QVERIFY2(view.log.contains(
                     QStringLiteral("bad checksum in NMEA packet; expected %1.").arg(sentence.checksum)),
                 qPrintable(view.log));
        QCOMPARE(view.echoed, QList<QByteArray>{withoutLineEnd(kLeadIn)});
        const QString gpsTime = QDateTime(date, time.addMSecs(123), Qt::UTC).toString(Qt::ISODateWithMs);
        QVERIFY(!hasTpvAt(view, gpsTime));
    }
};

QTEST_GUILESS_MAIN(GpsdecodeTest)
#include "tst_gpsdecode.moc"
