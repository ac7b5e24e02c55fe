// Ports as operators have them: typed devices, who each port is, and the
// list following the devices that are plugged in and out.
#include "Form1Harness.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

namespace {
using Port = FakeSerialBank::Port;

// The list follows plugging within this time.
constexpr int kPlugUpdateMs = 2000;

QStringList entries(const Form1Harness& h) {
    QStringList list;
    auto* combo = h.find<QComboBox>(QStringLiteral("Combo1"));
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}

// Types `text` into the port box and presses Enter, as the operator does.
void typePort(Form1Harness& h, const QString& text) {
    QLineEdit* edit = h.find<QComboBox>(QStringLiteral("Combo1"))->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();
}

PortIdentity ftdiAdapter(const QString& location) {
    PortIdentity identity;
    identity.location = location;
    identity.description = QStringLiteral("FT232R USB UART");
    identity.manufacturer = QStringLiteral("FTDI");
    identity.serialNumber = QStringLiteral("A1B2C3");
    identity.stableName = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    return identity;
}
} // namespace

class PortWatchTest : public GuiTest {
    Q_OBJECT

private slots:
    void typedPort_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("opened"); // the open device afterwards
        QTest::addColumn<QString>("message");
        const QString com1 = FakeSerialBank::locationOf(1);
        const QString byId = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
        QTest::newRow("USB adapter") << "/dev/ttyUSB3"
                                     << "/dev/ttyUSB3" << int(Port::Usable) << "/dev/ttyUSB3"
                                     << "";
        QTest::newRow("by-id name") << byId << byId << int(Port::Usable) << byId << "";
        QTest::newRow("pseudo-terminal") << "/dev/pts/7"
                                         << "/dev/pts/7" << int(Port::Usable) << "/dev/pts/7"
                                         << "";
        QTest::newRow("blanks around") << "  /dev/ttyACM9 "
                                       << "/dev/ttyACM9" << int(Port::Usable) << "/dev/ttyACM9"
                                       << "";
        QTest::newRow("COM17") << "COM17"
                               << "COM17" << int(Port::Usable) << "COM17"
                               << "";
        QTest::newRow("\\\\.\\COM120") << "\\\\.\\COM120"
                                       << "\\\\.\\COM120" << int(Port::Usable) << "\\\\.\\COM120"
                                       << "";
        // A device that does not open leaves the open port as it was.
        QTest::newRow("missing device")
            << "/dev/ttyUSB9"
            << "/dev/ttyUSB9" << int(Port::Missing) << com1 << "8002: /dev/ttyUSB9 does not exist";
        QTest::newRow("busy device") << "COM18"
                                     << "COM18" << int(Port::Busy) << com1
                                     << "8010: COM18 is in use by another program: minicom (pid 4242)";
        QTest::newRow("not a device") << "ttyUSB3"
                                      << "ttyUSB3" << int(Port::Usable) << com1 << "";
        QTest::newRow("a word") << "clock"
                                << "clock" << int(Port::Usable) << com1 << "";
        QTest::newRow("the /dev folder") << "/dev/"
                                         << "/dev/" << int(Port::Usable) << com1 << "";
    }
    void typedPort() {
        QFETCH(QString, typed);
        QFETCH(QString, device);
        QFETCH(int, state);
        QFETCH(QString, opened);
        QFETCH(QString, message);
        Form1Harness h;
        h.serial.setPort(1, Port::Usable);
        h.serial.setDevice(device, Port(state));
        Form1& w = h.startWithPort(1);
        w.show();
        h.trigger(QStringLiteral("B19200"));
        h.serial.opens.clear();

        typePort(h, typed);
        QCOMPARE(h.serial.openLocation(), opened);
        QCOMPARE(h.dialogs.takeTexts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (message.isEmpty() && opened != FakeSerialBank::locationOf(1)) {
            // Opened once, at the line speed chosen before.
            QCOMPARE(h.serial.opens, QList<int>{0});
            QCOMPARE(h.serial.openSettings().toString(), QStringLiteral("19200,n,8,1"));
            QTRY_COMPARE(h.text(QStringLiteral("PortStatus")), opened);
            // A frame goes to the typed device.
            h.click(QStringLiteral("Command3"));
            QCOMPARE(h.serial.writes.size(), 1);
        }
        if (!message.isEmpty()) {
            // Com1 goes on working, and its frames are recorded.
            QCOMPARE(h.find<QComboBox>(QStringLiteral("Combo1"))->currentText(), QStringLiteral("Com1"));
            h.trigger(QStringLiteral("ShowFrameRecord"));
            h.click(QStringLiteral("Command3"));
            QCOMPARE(h.serial.writes.size(), 1);
            QVERIFY(h.find<QPlainTextEdit>(QStringLiteral("RecordText"))
                        ->toPlainText()
                        .contains(" Com1 19200 DD D1"));
        }
        QCOMPARE(entries(h), (QStringList{"Com1", "Search"}));
    }

    void typedPortEntryChoosesTheEntry() {
        Form1Harness h;
        h.serial.setPort(1, Port::Usable);
        h.serial.setPort(2, Port::Usable);
        Form1& w = h.start();
        w.show();
        h.serial.opens.clear();
        typePort(h, QStringLiteral("Com1"));
        QCOMPARE(h.serial.opens, QList<int>{1});
        QCOMPARE(h.serial.openPort(), 1);
    }

    void identityAsToolTipAndStatus() {
        Form1Harness h;
        h.serial.setPort(2, Port::Usable);
        h.serial.setPort(3, Port::Usable);
        h.serial.setIdentity(ftdiAdapter(FakeSerialBank::locationOf(3)));
        h.start();
        auto* combo = h.find<QComboBox>(QStringLiteral("Combo1"));
        QCOMPARE(combo->itemData(0, Qt::ToolTipRole).toString(), FakeSerialBank::locationOf(2));
        QCOMPARE(combo->itemData(1, Qt::ToolTipRole).toString(),
                 QStringLiteral("/dev/fake/com3\nFT232R USB UART\nFTDI\nserial number A1B2C3\n"
                                "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"));
        QCOMPARE(combo->itemData(2, Qt::ToolTipRole), QVariant());
        QTRY_COMPARE(h.text(QStringLiteral("PortStatus")),
                     QStringLiteral("Com3: /dev/fake/com3, FT232R USB UART, FTDI, serial number A1B2C3, "
                                    "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"));
    }

    void noPortOpenInStatus() {
        Form1Harness h;
        h.start();
        QTRY_COMPARE(h.text(QStringLiteral("PortStatus")), QStringLiteral("No port open"));
    }

    void plugAndUnplug_data() {
        QTest::addColumn<QList<int>>("before");    // usable at start-up
        QTest::addColumn<QList<int>>("plugged");   // become usable
        QTest::addColumn<QList<int>>("unplugged"); // become missing
        QTest::addColumn<QStringList>("after");    // the list
        QTest::addColumn<int>("open");             // the port open afterwards
        QTest::addColumn<QList<int>>("opens");     // the opens meanwhile, probes included
        // The open port is neither probed nor reopened.
        QTest::newRow("device comes, open port stays")
            << QList<int>{1} << QList<int>{5} << QList<int>{} << QStringList{"Com1", "Com5", "Search"} << 1
            << QList<int>{5};
        QTest::newRow("other device goes, open port stays")
            << QList<int>{1, 5} << QList<int>{} << QList<int>{1} << QStringList{"Com5", "Search"} << 5
            << QList<int>{};
        // As at start-up: every port probed, the last one found opened.
        QTest::newRow("device comes with no port open")
            << QList<int>{} << QList<int>{4} << QList<int>{} << QStringList{"Com4", "Search"} << 4
            << QList<int>{4, 4};
        QTest::newRow("two come with no port open, the last opens")
            << QList<int>{} << QList<int>{7, 3} << QList<int>{} << QStringList{"Com3", "Com7", "Search"} << 7
            << QList<int>{3, 7, 7};
    }
    void plugAndUnplug() {
        QFETCH(QList<int>, before);
        QFETCH(QList<int>, plugged);
        QFETCH(QList<int>, unplugged);
        QFETCH(QStringList, after);
        QFETCH(int, open);
        QFETCH(QList<int>, opens);
        Form1Harness h;
        for (int port : before)
            h.serial.setPort(port, Port::Usable);
        h.start();
        h.serial.opens.clear();
        for (int port : plugged)
            h.serial.setPort(port, Port::Usable);
        for (int port : unplugged)
            h.serial.setPort(port, Port::Missing);
        QTRY_COMPARE_WITH_TIMEOUT(entries(h), after, kPlugUpdateMs);
        QCOMPARE(h.serial.openPort(), open);
        QCOMPARE(h.serial.opens, opens);
        QCOMPARE(h.find<QComboBox>(QStringLiteral("Combo1"))->currentText(),
                 QStringLiteral("Com%1").arg(open));
        QCOMPARE(h.dialogs.takeTexts(), QStringList());
    }

    void unpluggedOpenPortLeavesTheList() {
        Form1Harness h;
        h.serial.setPort(2, Port::Usable);
        h.start();
        h.serial.setPort(2, Port::Missing);
        h.serial.loseDevice(QStringLiteral("Com2 stopped working"));
        QTRY_COMPARE_WITH_TIMEOUT(entries(h), QStringList{"Search"}, kPlugUpdateMs);
        QCOMPARE(h.serial.openPort(), 0);
        QTRY_COMPARE(h.text(QStringLiteral("PortStatus")),
                     QStringLiteral("Port lost: 8022: Com2 stopped working; it opens again when it is back"));
        h.dialogs.takeTexts(); // how a lost device is reported is not this test's concern
    }

    // A typed device that went away is opened again when it is back, which
    // a scan of the numbered ports would not do.
    void lostTypedPortReopensWhenBack() {
        Form1Harness h;
        h.serial.setPort(1, Port::Usable);
        h.serial.setDevice(QStringLiteral("/dev/pts/7"), Port::Usable);
        Form1& w = h.start();
        w.show();
        typePort(h, QStringLiteral("/dev/pts/7"));
        h.serial.setDevice(QStringLiteral("/dev/pts/7"), Port::Missing);
        h.serial.loseDevice(QStringLiteral("/dev/pts/7 stopped working"));
        QTRY_COMPARE(
            h.text(QStringLiteral("PortStatus")),
            QStringLiteral("Port lost: 8022: /dev/pts/7 stopped working; it opens again when it is back"));
        h.serial.setDevice(QStringLiteral("/dev/pts/7"), Port::Usable);
        QTRY_COMPARE_WITH_TIMEOUT(h.serial.openLocation(), QStringLiteral("/dev/pts/7"), kPlugUpdateMs);
        QTRY_VERIFY(!h.text(QStringLiteral("PortStatus")).startsWith(QLatin1String("Port lost")));
        // The frame record says why it closed, and that it opened again.
        h.trigger(QStringLiteral("ShowFrameRecord"));
        QVERIFY(QRegularExpression(" lost     /dev/pts/7 9600 8022: /dev/pts/7 stopped working\n.* opened   "
                                   "/dev/pts/7 9600 /dev/pts/7$")
                    .match(h.find<QPlainTextEdit>(QStringLiteral("RecordText"))->toPlainText())
                    .hasMatch());
        QTRY_COMPARE(h.find<QComboBox>(QStringLiteral("Combo1"))->currentText(),
                     QStringLiteral("/dev/pts/7"));
        h.dialogs.takeTexts(); // how a lost device is reported is not this test's concern
    }

    void typedPortStaysOpenWhenTheListChanges() {
        Form1Harness h;
        h.serial.setPort(1, Port::Usable);
        h.serial.setDevice(QStringLiteral("/dev/pts/7"), Port::Usable);
        Form1& w = h.start();
        w.show();
        typePort(h, QStringLiteral("/dev/pts/7"));
        h.serial.opens.clear();
        h.serial.setPort(6, Port::Usable);
        QTRY_COMPARE_WITH_TIMEOUT(entries(h), (QStringList{"Com1", "Com6", "Search"}), kPlugUpdateMs);
        QCOMPARE(h.serial.openLocation(), QStringLiteral("/dev/pts/7"));
        QCOMPARE(h.serial.opens, (QList<int>{1, 6})); // probes of the listed ports only
        QCOMPARE(h.find<QComboBox>(QStringLiteral("Combo1"))->currentText(), QStringLiteral("/dev/pts/7"));
    }

    void listWaitsWhileACommandRuns() {
        Form1Harness h;
        h.serial.setPort(1, Port::Usable);
        h.start();
        // The read request gets no answer: the command waits two to three seconds.
        QStringList duringCommand;
        QTimer::singleShot(50, [&h] { h.serial.setPort(5, Port::Usable); });
        QTimer::singleShot(kPlugUpdateMs, [&] { duringCommand = entries(h); });
        h.click(QStringLiteral("Command6"));
        QCOMPARE(duringCommand, (QStringList{"Com1", "Search"}));
        QTRY_COMPARE_WITH_TIMEOUT(entries(h), (QStringList{"Com1", "Com5", "Search"}), kPlugUpdateMs);
        QCOMPARE(h.serial.openPort(), 1);
    }
};

QTEST_MAIN(PortWatchTest)
#include "tst_port_watch.moc"
