// The serial component on real pseudo-terminals: transparency for every byte
// value at every line speed, and the failures an operator can meet.
#include "PseudoTerminal.h"
#include "common/RuntimeError.h"
#include "serial/QtSerialDevice.h"
#include "serial/SerialPortComponent.h"

#include <QSignalSpy>
#include <QTest>

namespace {
constexpr int kPort = 16;

QByteArray everyByteValue() {
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

ErrorNumber errorNumberOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const RuntimeError& error) {
        return error.number();
    }
    return ErrorNumber{};
}
} // namespace

class SerialPtyTest : public QObject {
    Q_OBJECT

private slots:
    void everyByteBothWays_data() {
        QTest::addColumn<QString>("settings");
        for (const char* s : {"4800,n,8,1", "9600,n,8,1", "19200,n,8,1", "38400,n,8,1"})
            QTest::newRow(s) << QString::fromLatin1(s);
    }
    void everyByteBothWays() {
        QFETCH(QString, settings);
        PseudoTerminal pty;
        qputenv("VARO_CLOCK_COM16", pty.slavePath().toLocal8Bit());
        SerialPortComponent port(QtSerialDevice::factory());
        port.setSettings(settings);
        QCOMPARE(port.Settings(), settings);
        port.setCommPort(kPort);
        port.setPortOpen(true);
        QVERIFY(port.PortOpen());

        const QByteArray all = everyByteValue();
        port.Output(all);
        QCOMPARE(pty.read(all.size()), all);

        pty.write(all);
        QTRY_COMPARE(port.InBufferCount(), all.size());
        QCOMPARE(port.Input(), all);
        QCOMPARE(port.InBufferCount(), 0);
        port.setPortOpen(false);
        QVERIFY(!port.PortOpen());
    }

    void staleInputIsDroppedOnOpen() {
        PseudoTerminal pty;
        qputenv("VARO_CLOCK_COM16", pty.slavePath().toLocal8Bit());
        pty.write("stale bytes");
        SerialPortComponent port(QtSerialDevice::factory());
        port.setCommPort(kPort);
        port.setPortOpen(true);
        pty.write(QByteArray("\xAA\x00", 2));
        QTRY_COMPARE(port.InBufferCount(), 2);
        QCOMPARE(port.Input(), QByteArray("\xAA\x00", 2));
    }

    void inputTakesWhatTheDriverHolds() {
        // No event loop runs between the far end's write and the read, as when
        // a frame arrives while the window is busy: a flush must still take it.
        PseudoTerminal pty;
        qputenv("VARO_CLOCK_COM16", pty.slavePath().toLocal8Bit());
        SerialPortComponent port(QtSerialDevice::factory());
        port.setCommPort(kPort);
        port.setPortOpen(true);
        pty.write(QByteArray::fromHex("AA0026120601123456"));
        QCOMPARE(port.Input(), QByteArray::fromHex("AA0026120601123456"));
        QCOMPARE(port.InBufferCount(), 0);
    }

    void failuresCarryNumbers() {
        qputenv("VARO_CLOCK_COM16", "/dev/varo-clock-no-such-device");
        SerialPortComponent port(QtSerialDevice::factory());
        port.setCommPort(kPort);
        QCOMPARE(errorNumberOf([&] { port.setPortOpen(true); }), ErrorNumber::InvalidPortNumber);
        QVERIFY(!port.PortOpen());
        QCOMPARE(errorNumberOf([&] { port.Output("x"); }), ErrorNumber::NotOpen);
        QCOMPARE(errorNumberOf([&] { port.Input(); }), ErrorNumber::NotOpen);
        QCOMPARE(errorNumberOf([&] { port.setCommPort(17); }), ErrorNumber::InvalidPortNumber);
        QCOMPARE(errorNumberOf([&] { port.setSettings(QStringLiteral("fast")); }),
                 ErrorNumber::InvalidPropertyValue);
        QCOMPARE(port.Settings(), QStringLiteral("9600,n,8,1"));
    }

    void aPortHeldElsewhereIsRefused() {
        PseudoTerminal pty;
        qputenv("VARO_CLOCK_COM16", pty.slavePath().toLocal8Bit());
        SerialPortComponent first(QtSerialDevice::factory());
        first.setCommPort(kPort);
        first.setPortOpen(true);
        SerialPortComponent second(QtSerialDevice::factory());
        second.setCommPort(kPort);
        QCOMPARE(errorNumberOf([&] { second.setPortOpen(true); }), ErrorNumber::HardwareNotAvailable);
        QCOMPARE(errorNumberOf([&] { first.setCommPort(1); }), ErrorNumber::InvalidWhileOpen);
    }

    // The far end goes away: noticed by the event loop, or first met by a
    // write, which the OS refuses and which is an error, not a frame taken as
    // sent. Either way the port closes once and the loss is reported once.
    void farEndClosingClosesThePortOnce_data() {
        QTest::addColumn<bool>("writeFirst");
        QTest::newRow("noticed while idle") << false;
        QTest::newRow("met by a write") << true;
    }
    void farEndClosingClosesThePortOnce() {
        QFETCH(bool, writeFirst);
        auto pty = std::make_unique<PseudoTerminal>();
        qputenv("VARO_CLOCK_COM16", pty->slavePath().toLocal8Bit());
        SerialPortComponent port(QtSerialDevice::factory());
        port.setCommPort(kPort);
        port.setPortOpen(true);
        QList<RuntimeError> lost;
        QObject::connect(&port, &SerialPortComponent::lineLost,
                         [&](const RuntimeError& error) { lost << error; });
        pty.reset();
        if (writeFirst)
            QCOMPARE(errorNumberOf([&] { port.Output(QByteArray::fromHex("AA0026120601123456")); }),
                     ErrorNumber::WriteFailed);
        QTRY_VERIFY(!port.PortOpen());
        QCOMPARE(lost.count(), 1);
        QCOMPARE(lost.first().number(), ErrorNumber::DeviceLost);
        QVERIFY(lost.first().description().startsWith(QStringLiteral("Com16 (")));
    }
};

QTEST_MAIN(SerialPtyTest)
#include "tst_serial_pty.moc"
