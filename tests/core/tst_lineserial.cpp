// The serial line: the settings text of the port and the devices behind the
// port numbers 1 to 16.

#include "serial/LineSettings.h"
#include "serial/PortNames.h"

#include <QtTest>

class TestLineSerial : public QObject {
    Q_OBJECT

private slots:
    void parsesMenuSettings_data();
    void parsesMenuSettings();
    void rejectsBadSettings_data();
    void rejectsBadSettings();

    void cleanup();
    void deviceForPort_data();
    void deviceForPort();
    void environmentReplacesOnePort();
};

void TestLineSerial::parsesMenuSettings_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("baudRate");

    QTest::newRow("4800") << QStringLiteral("4800,n,8,1") << 4800;
    QTest::newRow("9600") << QStringLiteral("9600,n,8,1") << 9600;
    QTest::newRow("19200") << QStringLiteral("19200,n,8,1") << 19200;
    QTest::newRow("38400") << QStringLiteral("38400,n,8,1") << 38400;
}

void TestLineSerial::parsesMenuSettings() {
    QFETCH(QString, text);
    QFETCH(int, baudRate);

    const std::optional<LineSettings> settings = LineSettings::parse(text);
    QVERIFY(settings.has_value());
    QCOMPARE(settings->baudRate, baudRate);
    QCOMPARE(settings->parity, 'n');
    QCOMPARE(settings->dataBits, 8);
    QCOMPARE(settings->stopBits, 1);
    QCOMPARE(settings->toString(), text);
}

void TestLineSerial::rejectsBadSettings_data() {
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QString();
    QTest::newRow("speed only") << QStringLiteral("9600");
    QTest::newRow("three fields") << QStringLiteral("9600,n,8");
    QTest::newRow("five fields") << QStringLiteral("9600,n,8,1,");
    QTest::newRow("unknown speed") << QStringLiteral("9601,n,8,1");
    QTest::newRow("negative speed") << QStringLiteral("-9600,n,8,1");
    QTest::newRow("speed not a number") << QStringLiteral("fast,n,8,1");
    QTest::newRow("unknown parity") << QStringLiteral("9600,x,8,1");
    QTest::newRow("no parity letter") << QStringLiteral("9600,,8,1");
    QTest::newRow("parity word") << QStringLiteral("9600,none,8,1");
    QTest::newRow("nine data bits") << QStringLiteral("9600,n,9,1");
    QTest::newRow("four data bits") << QStringLiteral("9600,n,4,1");
    QTest::newRow("three stop bits") << QStringLiteral("9600,n,8,3");
    QTest::newRow("no stop bits") << QStringLiteral("9600,n,8,0");
    QTest::newRow("semicolons") << QStringLiteral("9600;n;8;1");
}

void TestLineSerial::rejectsBadSettings() {
    QFETCH(QString, text);
    const std::optional<LineSettings> settings = LineSettings::parse(text);
    QVERIFY2(!settings.has_value(), qPrintable(settings ? settings->toString() : QString()));
}

void TestLineSerial::cleanup() {
    for (int port = PortNames::kFirstPort; port <= PortNames::kLastPort; ++port)
        qunsetenv(QByteArray("VARO_CLOCK_COM" + QByteArray::number(port)).constData());
}

void TestLineSerial::deviceForPort_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");

#ifdef Q_OS_WIN
    QTest::newRow("1") << 1 << QStringLiteral("COM1");
    QTest::newRow("16") << 16 << QStringLiteral("COM16");
#else
    QTest::newRow("1") << 1 << QStringLiteral("/dev/ttyS0");
    QTest::newRow("4") << 4 << QStringLiteral("/dev/ttyS3");
    QTest::newRow("5") << 5 << QStringLiteral("/dev/ttyUSB0");
    QTest::newRow("12") << 12 << QStringLiteral("/dev/ttyUSB7");
    QTest::newRow("13") << 13 << QStringLiteral("/dev/ttyACM0");
    QTest::newRow("16") << 16 << QStringLiteral("/dev/ttyACM3");
#endif
}

void TestLineSerial::deviceForPort() {
    QFETCH(int, port);
    QFETCH(QString, device);

    cleanup(); // whatever the environment of the run holds
    QCOMPARE(PortNames::deviceForPort(port), device);
}

void TestLineSerial::environmentReplacesOnePort() {
    cleanup();
    const QString port15 = PortNames::deviceForPort(15);
    qputenv("VARO_CLOCK_COM16", "/dev/pts/7");
    QCOMPARE(PortNames::deviceForPort(16), QStringLiteral("/dev/pts/7"));
    QCOMPARE(PortNames::deviceForPort(15), port15);
    QVERIFY(PortNames::deviceForPort(1) != QStringLiteral("/dev/pts/7"));

    qputenv("VARO_CLOCK_COM1", "/tmp/clock-link");
    QCOMPARE(PortNames::deviceForPort(1), QStringLiteral("/tmp/clock-link"));
    QCOMPARE(PortNames::deviceForPort(16), QStringLiteral("/dev/pts/7"));

    qunsetenv("VARO_CLOCK_COM16");
#ifndef Q_OS_WIN
    QCOMPARE(PortNames::deviceForPort(16), QStringLiteral("/dev/ttyACM3"));
#endif
}

QTEST_GUILESS_MAIN(TestLineSerial)
#include "tst_lineserial.moc"
