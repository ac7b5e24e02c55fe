// The clock session on a fake serial port: each exchange once, in its
// blocking and its non-blocking form, with the bytes on the line and the
// outcome; the one-command rule and the time frames between commands.
#include "FakeClock.h"
#include "FakeSerial.h"
#include "KnownBytes.h"
#include "serial/SerialPortComponent.h"
#include "session/ClockSession.h"

#include <QtTest>

Q_DECLARE_METATYPE(ClockRequest)
Q_DECLARE_METATYPE(ClockOutcome::Status)

namespace {

using Status = ClockOutcome::Status;

QByteArray timeFrame(int hours, int minutes, int seconds) {
    return bytesOf({0xAA, 0x00, 0x24, 0x03, 0x05, 0x02, hours, minutes, seconds});
}

// What an outcome brought, in a line a row can name.
QString decoded(const ClockOutcome& outcome) {
    QStringList parts;
    if (!outcome.frameText.isEmpty())
        parts << outcome.frameText.trimmed();
    if (!outcome.checksum.isEmpty())
        parts << QStringLiteral("checksum ") + outcome.checksum;
    if (outcome.clockIndex >= 0)
        parts << QStringLiteral("clock %1: %2 .. %3")
                     .arg(outcome.clockIndex + 1)
                     .arg(outcome.rows.front().RefreshTime, outcome.rows.back().CountdownLength);
    if (outcome.clockTime.isValid())
        parts << outcome.clockTime.toString(QStringLiteral("HH:mm:ss"));
    if (outcome.error)
        parts << QStringLiteral("error %1").arg(outcome.error->code());
    return parts.join(QStringLiteral("; "));
}

class Line {
public:
    Line() {
        bank.setPort(1, FakeSerialBank::Port::Usable);
        session.openPort(PortChoice::listed(1));
        QObject::connect(&session, &ClockSession::frameFlushed,
                         [this](const QByteArray& bytes) { flushed += bytes; });
    }

    // The far end answers the first frame written, or else the first flush.
    void answerWith(const QByteArray& answer) {
        const auto deliver = [this, answer] {
            if (!std::exchange(m_answered, true) && !answer.isEmpty())
                QTimer::singleShot(0, &session, [this, answer] { bank.receive(answer); });
        };
        bank.responder = [deliver](const QByteArray&) {
            deliver();
        };
        QObject::connect(&session, &ClockSession::frameFlushed, deliver);
    }

    ClockOutcome exchange(const ClockRequest& request, bool blocking) {
        if (blocking) {
            const std::optional<ClockSession::LineHold> hold = session.holdLine();
            return session.run(request, *hold);
        }
        std::optional<ClockOutcome> outcome;
        if (!session.start(request, [&outcome](const ClockOutcome& ended) { outcome = ended; }))
            return {};
        if (!QTest::qWaitFor([&outcome] { return outcome.has_value(); }, 6000))
            qFatal("the exchange never ended");
        return *outcome;
    }

    FakeSerialBank bank;
    FakeClock clock;
    SerialPortComponent port{bank.factory()};
    ClockSession session{port, clock};
    QByteArray flushed;

private:
    bool m_answered = false;
};

} // namespace

class TestClockSession : public QObject {
    Q_OBJECT

private slots:
    void exchanges_data() {
        QTest::addColumn<ClockRequest>("request");
        QTest::addColumn<QByteArray>("waiting"); // on the line before the command
        QTest::addColumn<QByteArray>("answer");  // from the master clock
        QTest::addColumn<bool>("lost");          // the device goes away after the write
        QTest::addColumn<QList<QByteArray>>("written");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QString>("decoded");

        const QByteArray none;
        const QByteArray readReply = hexBytes("BBB2") + kDefaultRecords;
        const QString defaults = QStringLiteral("07:00:00 .. 02:00:00");
        struct Row {
            const char* name;
            ClockRequest request;
            QByteArray waiting, answer;
            bool lost;
            QList<QByteArray> written;
            Status status;
            QString decoded;
        };
        const QList<Row> rows = {
            {"set time after the boundary",
             ClockRequest::setTime(),
             none,
             none,
             false,
             {hexBytes("AA0024030502090745")},
             Status::Done,
             QStringLiteral("2024-03-05,2,09:07:45")},
            {"typed set time",
             ClockRequest::typedTime(QTime(12, 34, 56)),
             none,
             none,
             false,
             {hexBytes("AA0024030502123456")},
             Status::Done,
             QStringLiteral("2024-03-05,2,12:34:56")},
            {"countdown",
             ClockRequest::countdown(0, QTime(10, 0)),
             none,
             none,
             false,
             {hexBytes("DDD1005215")},
             Status::Done,
             QStringLiteral("00:52:15")},
            {"countdown with no clock chosen",
             ClockRequest::countdown(-1, QTime(10, 0)),
             none,
             none,
             false,
             {},
             Status::Failed,
             QStringLiteral("error 6")},
            {"RMC sentence",
             ClockRequest::rmc('A'),
             none,
             none,
             false,
             {"$GPRMC,090745.123,A,3114.1296,N,12128.0253,E,000.0,000.0,050324,,*0B\r\n"},
             Status::Done,
             QStringLiteral(
                 "$GPRMC,090745.123,A,3114.1296,N,12128.0253,E,000.0,000.0,050324,,*??; checksum 0B")},
            {"settings read",
             ClockRequest::readSettings(1),
             none,
             readReply,
             false,
             {hexBytes("BBA2")},
             Status::Done,
             QStringLiteral("clock 2: ") + defaults},
            {"settings read after a time frame",
             ClockRequest::readSettings(1),
             none,
             timeFrame(0x09, 0x07, 0x45) + readReply,
             false,
             {hexBytes("BBA2")},
             Status::Done,
             QStringLiteral("clock 2: ") + defaults},
            {"settings read cut short",
             ClockRequest::readSettings(0),
             none,
             readReply.left(12),
             false,
             {hexBytes("BBA1")},
             Status::ShortAnswer,
             QStringLiteral("error 9")},
            {"settings read answered by a write reply",
             ClockRequest::readSettings(0),
             none,
             hexBytes("CCC1") + kDefaultRecords,
             false,
             {hexBytes("BBA1")},
             Status::ForeignAnswer,
             QString()},
            {"settings read unanswered",
             ClockRequest::readSettings(0),
             none,
             none,
             false,
             {hexBytes("BBA1")},
             Status::NoAnswer,
             QString()},
            {"settings read, device lost",
             ClockRequest::readSettings(0),
             none,
             none,
             true,
             {hexBytes("BBA1")},
             Status::Failed,
             QStringLiteral("error 8022")},
            {"settings write",
             ClockRequest::writeSettings(0, [] { return kDefaultRecords; }),
             none,
             hexBytes("CCC1") + kDefaultRecords,
             false,
             {hexBytes("CCB1") + kDefaultRecords},
             Status::Done,
             QStringLiteral("clock 1: ") + defaults},
            {"time frame after a stale one",
             ClockRequest::timeFrame(),
             timeFrame(0x09, 0x07, 0x44),
             timeFrame(0x12, 0x34, 0x56),
             false,
             {},
             Status::Done,
             QStringLiteral("12:34:56")},
            {"time frame that is no time",
             ClockRequest::timeFrame(),
             bytesOf({0x00}),
             timeFrame(0x25, 0x00, 0x00),
             false,
             {},
             Status::InvalidAnswer,
             QStringLiteral("error 13")},
            {"time frame whose date is none",
             ClockRequest::timeFrame(),
             bytesOf({0x00}),
             bytesOf({0xAA, 0x00, 0x99, 0x13, 0x45, 0x0F, 0x12, 0x34, 0x56}),
             false,
             {},
             Status::Done,
             QStringLiteral("12:34:56")},
            {"time frame and a stray byte",
             ClockRequest::timeFrame(),
             bytesOf({0x00}),
             timeFrame(0x12, 0x34, 0x56) + bytesOf({0x00}),
             false,
             {},
             Status::ForeignAnswer,
             QString()},
        };
        for (const bool blocking : {true, false})
            for (const Row& row : rows)
                QTest::addRow("%s: %s", blocking ? "blocking" : "non-blocking", row.name)
                    << row.request << row.waiting << row.answer << row.lost << row.written << row.status
                    << row.decoded;
    }

    void exchanges() {
        QFETCH(ClockRequest, request);
        QFETCH(QByteArray, waiting);
        QFETCH(QByteArray, answer);
        QFETCH(bool, lost);
        QFETCH(QList<QByteArray>, written);
        QFETCH(Status, status);
        QFETCH(QString, decoded);

        Line line;
        line.answerWith(answer);
        if (lost)
            line.bank.responder = [&line](const QByteArray&) {
                line.bank.loseDevice(QStringLiteral("unplugged"));
            };
        line.bank.receive(waiting);
        const ClockOutcome outcome = line.exchange(request, QTest::currentDataTag()[0] == 'b');
        QCOMPARE(line.bank.writes, written);
        QCOMPARE(outcome.status, status);
        QCOMPARE(::decoded(outcome), decoded);
        QCOMPARE(line.flushed, waiting);
        QVERIFY(!line.session.lineHeld());
    }

    void failedWriteIsShownBeforeTheOutcome() {
        Line line;
        line.bank.refuseWrites = true;
        QList<QByteArray> shown;
        const std::optional<ClockSession::LineHold> hold = line.session.holdLine();
        const ClockOutcome outcome =
            line.session.run(ClockRequest::setTime(), *hold, [&shown](const ClockOutcome& written) {
                QVERIFY(written.error);
                shown << written.sent;
            });
        QCOMPARE(shown, QList<QByteArray>{hexBytes("AA0024030502090745")});
        QCOMPARE(outcome.status, Status::Failed);
        QCOMPARE(outcome.error->number(), ErrorNumber::WriteFailed);
    }

    void oneCommandHoldsTheLine() {
        Line line;
        line.session.gpsStream().start('A');
        std::optional<ClockSession::LineHold> hold = line.session.holdLine();
        QVERIFY(hold);
        QVERIFY(!line.session.gpsStream().isRunning());
        QVERIFY(!line.session.holdLine());
        QVERIFY(!line.session.start(ClockRequest::readSettings(0), [](const ClockOutcome&) {}));
        hold.reset();

        std::optional<ClockOutcome> outcome;
        QVERIFY(line.session.start(ClockRequest::readSettings(0),
                                   [&outcome](const ClockOutcome& ended) { outcome = ended; }));
        QVERIFY(line.session.lineHeld());
        line.session.cancel();
        QCOMPARE(outcome->status, Status::Cancelled);
        QVERIFY(!line.session.lineHeld());
    }

    void timeFramesBetweenCommands() {
        Line line;
        QList<TimeFrameMonitor::Sighting> seen;
        connect(&line.session, &ClockSession::timeFrameSeen,
                [&seen](const TimeFrameMonitor::Sighting& sighting) { seen << sighting; });
        QByteArray received;
        connect(&line.session, &ClockSession::frameReceived,
                [&received](const QByteArray& bytes) { received += bytes; });
        line.bank.receive(timeFrame(0x09, 0x07, 0x45));
        QTRY_COMPARE(seen.size(), 1);
        QCOMPARE(seen.first().clockTime, QTime(9, 7, 45));
        // Its first byte left at 09:07:45.000 by the master clock and at
        // 09:07:44.600 less 9 bytes of 10 bits at 9600 baud by the computer's.
        QCOMPARE(seen.first().offsetUs, 400'000 + 9'375);
        QCOMPARE(received, timeFrame(0x09, 0x07, 0x45));
    }
};

QTEST_GUILESS_MAIN(TestClockSession)
#include "tst_clock_session.moc"
