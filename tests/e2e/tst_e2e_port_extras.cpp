// What the window shows beyond the classic form, end to end against the
// master clock simulator: the master clock's offset from its own time frames,
// the frame record's daily file and the port list following a device that
// comes and goes.
#include "SimWindow.h"
#include "protocol/FrameRecord.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>

namespace {
// Two seconds, as the fake bank's tests require; the real devices' probes and
// a loaded machine (a browser test runs beside it) may take some seconds more.
constexpr int kPlugUpdateMs = 8000;

const QRegularExpression
    kOffsetShown(QStringLiteral("^Master clock (\\d\\d:\\d\\d:\\d\\d), offset ([+-]\\d+\\.\\d) s$"));

QStringList recordLines(const SimWindow& w) {
    QFile file(FrameRecord::fileOf(w.recordFolder(), QDate::currentDate()));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The record's bytes of a line, as the simulator's log writes them.
QString recordBytes(const QString& line) {
    return line.section(QLatin1Char(' '), 5).remove(QLatin1Char(' '));
}

QStringList entries(const SimWindow& w) {
    QStringList list;
    QComboBox* combo = w.combo(QStringLiteral("Combo1"));
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}
} // namespace

class E2ePortExtrasTest : public GuiTest {
    Q_OBJECT

private slots:
    void offsetOfTheSimulatedClock_data() {
        QTest::addColumn<int>("offsetMs");
        QTest::newRow("1.5 s ahead") << 1500;
        QTest::newRow("2.5 s behind") << -2500;
    }
    void offsetOfTheSimulatedClock() {
        QFETCH(int, offsetMs);
        SimWindow w;
        QVERIFY(w.start({QStringLiteral("--time-frames"), QStringLiteral("1"), QStringLiteral("--offset-ms"),
                         QString::number(offsetMs)}));
        // The pseudo-terminal delivers at once; the window allows for 9 bytes
        // at 9600 baud. A reading the loaded machine handled late is followed
        // by one each second.
        QRegularExpressionMatch shown;
        const auto closeToTheSimulator = [&] {
            shown = kOffsetShown.match(w.ui.text(QStringLiteral("ClockOffset")));
            return shown.hasMatch() && qAbs(shown.captured(2).toDouble() * 1000 - offsetMs) <= 200;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(closeToTheSimulator(), qPrintable(w.ui.text(QStringLiteral("ClockOffset"))),
                                  6000);
        // The time of day of a frame the simulator sent.
        const LogLineMatch sent =
            w.waitForLog(logLine(QStringLiteral("TX"), QStringLiteral("AA00[0-9A-F]{14}"),
                                 QStringLiteral("clock time \\S+ weekday \\d ") + shown.captured(1)),
                         0);
        QVERIFY2(sent.hasMatch(), qPrintable(shown.captured(0)));
        // The frame is in the record as the window received it.
        QTRY_VERIFY(recordLines(w).filter(QStringLiteral(" received Com16 9600 AA 00 ")).size() >= 1);
        const QString received = recordLines(w).filter(QStringLiteral(" received Com16 9600 AA 00 ")).first();
        QVERIFY2(!w.sim()
                      .linesMatching(QRegularExpression(QStringLiteral(" TX ") + recordBytes(received) + " "))
                      .isEmpty(),
                 qPrintable(received));
    }

    void recordOfASettingsRead() {
        SimWindow w;
        QVERIFY(w.start());
        w.click(QStringLiteral("Command6"));
        QCOMPARE(w.messages(), QStringList{"Read success!"});
        const LogLineMatch reply =
            w.waitForLog(logLine(QStringLiteral("TX"), QStringLiteral("BBB1[0-9A-F]{96}"),
                                 QStringLiteral("settings reply.*")),
                         0);
        QVERIFY(reply.hasMatch());
        const QStringList lines = recordLines(w);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].endsWith(QStringLiteral(" sent     Com16 9600 BB A1")), qPrintable(lines[0]));
        QVERIFY2(lines[1].contains(QStringLiteral(" received Com16 9600 ")), qPrintable(lines[1]));
        QCOMPARE(recordBytes(lines[1]), reply.captured(2));
    }

    void deviceComesAndGoes() {
        SimWindow w;
        QVERIFY(w.start());
        const QStringList before = entries(w); // ..., Com16, Search
        QStringList plugged = before;
        plugged.insert(before.size() - 2, QStringLiteral("Com15"));
        // A second master clock, reached as Com15 through a link that appears
        // as udev makes /dev/serial/by-id links when an adapter is plugged in.
        QTemporaryDir links;
        const QString link = links.filePath(QStringLiteral("ttyPlugged"));
        const auto unmap =
            qScopeGuard([mapped = qgetenv("VARO_CLOCK_COM15")] { qputenv("VARO_CLOCK_COM15", mapped); });
        qputenv("VARO_CLOCK_COM15", link.toLocal8Bit());
        auto second = std::make_unique<SimProcess>();
        QVERIFY(second->start({QStringLiteral("--persist")}));
        const int mark = w.logMark();
        QVERIFY(QFile::link(second->device(), link));
        QTRY_COMPARE_WITH_TIMEOUT(entries(w), plugged, kPlugUpdateMs);
        QCOMPARE(w.combo(QStringLiteral("Combo1"))->currentText(), QStringLiteral("Com16"));
        QTRY_COMPARE(w.ui.text(QStringLiteral("PortStatus")), QStringLiteral("Com16: ") + w.sim().device());
        // Com16 stayed open all along: its master clock saw no close or open.
        QVERIFY(SimWindow::holdsOpen(w.sim().device()));
        QCOMPARE(
            w.sim().linesMatching(QRegularExpression(QStringLiteral("peers with the device open")), mark),
            QStringList());

        // The second clock's pseudo-terminal goes away.
        second.reset();
        QTRY_COMPARE_WITH_TIMEOUT(entries(w), before, kPlugUpdateMs);
        QVERIFY(SimWindow::holdsOpen(w.sim().device()));
        QCOMPARE(w.messages(), QStringList());
    }
};

QTEST_MAIN(E2ePortExtrasTest)
#include "tst_e2e_port_extras.moc"
