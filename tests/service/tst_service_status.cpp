// The computer clock's state as /status and /metrics tell it, read through
// the reader's seam for each request; promtool accepts the metrics in every
// state.
#include "FakeClock.h"
#include "FakeClockReader.h"
#include "FakeSerial.h"
#include "serial/SerialPortComponent.h"
#include "service/ClockService.h"
#include "service/HttpApi.h"
#include "session/ClockSession.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

Q_DECLARE_METATYPE(ComputerClockState::Sync)

class ServiceStatusTest : public QObject {
    Q_OBJECT

private:
    FakeSerialBank m_bank;
    FakeClock m_clock;
    SerialPortComponent m_port{m_bank.factory()};
    ClockSession m_session{m_port, m_clock};
    ClockService m_service{m_session, m_clock, PortChoice::listed(1)};
    FakeClockReader m_reader;
    HttpApi m_api{m_service, m_reader, std::nullopt};
    QNetworkAccessManager m_http;

    QByteArray get(const QString& path) {
        QNetworkReply* reply = m_http.get(
            QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_api.port()).arg(path))));
        if (!QTest::qWaitFor([reply] { return reply->isFinished(); }))
            return {};
        reply->deleteLater();
        return reply->readAll();
    }

private slots:
    void initTestCase() {
        QString error;
        QVERIFY2(m_api.serve(QHostAddress::LocalHost, 0, &error), qPrintable(error));
    }

    void computerClock_data() {
        QTest::addColumn<ComputerClockState::Sync>("sync");
        QTest::addColumn<double>("maxErrorMs"); // negative: unknown
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("metrics"); // the lines, empty for none
        QTest::newRow("synchronized")
            << ComputerClockState::Sync::Synchronized << 12.5
            << QByteArray("{\"estErrorMs\":null,\"maxErrorMs\":12.5,\"source\":\"adjtimex\","
                          "\"state\":\"synchronized\",\"synchronized\":true}")
            << QByteArray("varo_clock_computer_clock_synchronized "
                          "1\nvaro_clock_computer_clock_max_error_seconds 0.0125\n");
        QTest::newRow("unsynchronized")
            << ComputerClockState::Sync::Unsynchronized << 16000.0
            << QByteArray("{\"estErrorMs\":null,\"maxErrorMs\":16000,\"source\":\"adjtimex\","
                          "\"state\":\"unsynchronized\",\"synchronized\":false}")
            << QByteArray("varo_clock_computer_clock_synchronized "
                          "0\nvaro_clock_computer_clock_max_error_seconds 16\n");
        QTest::newRow("unknown")
            << ComputerClockState::Sync::Unknown << -1.0
            << QByteArray("{\"estErrorMs\":null,\"maxErrorMs\":null,"
                          "\"source\":\"adjtimex\",\"state\":\"unknown\",\"synchronized\":null}")
            << QByteArray();
    }
    void computerClock() {
        QFETCH(ComputerClockState::Sync, sync);
        QFETCH(double, maxErrorMs);
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, metrics);
        m_reader.state = {sync, maxErrorMs < 0 ? std::nullopt : std::optional(maxErrorMs), std::nullopt,
                          QStringLiteral("adjtimex"), QString()};
        const int reads = m_reader.reads;
        const QJsonObject status = QJsonDocument::fromJson(get(QStringLiteral("/status"))).object();
        QCOMPARE(
            QJsonDocument(status[QLatin1String("computerClock")].toObject()).toJson(QJsonDocument::Compact),
            json);
        const QByteArray exposition = get(QStringLiteral("/metrics"));
        QCOMPARE(m_reader.reads, reads + 2);
        QByteArray samples;
        for (const QByteArray& line : exposition.split('\n'))
            if (line.startsWith("varo_clock_computer_clock_"))
                samples += line + '\n';
        QCOMPARE(samples, metrics);

        const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
        if (promtool.isEmpty())
            QSKIP("promtool not found on PATH: scripts/setup.sh installs prometheus");
        QProcess check;
        check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
        check.write(exposition);
        check.closeWriteChannel();
        QVERIFY(check.waitForFinished());
        QVERIFY2(check.exitCode() == 0, check.readAllStandardOutput() + check.readAllStandardError());
    }
};

QTEST_GUILESS_MAIN(ServiceStatusTest)
#include "tst_service_status.moc"
