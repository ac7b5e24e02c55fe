// The computer clock's state in the status line, beside the master clock's
// offset: the clock the master clock is set from.
#include "Form1Harness.h"
#include "protocol/ComputerClockStateText.h"

#include <QLabel>

using Sync = ComputerClockState::Sync;
Q_DECLARE_METATYPE(ComputerClockState)

namespace {
const QString kState = QStringLiteral("ComputerClockState");
}

class ComputerClockStateTest : public GuiTest {
    Q_OBJECT

private slots:
    void shown_data() {
        QTest::addColumn<ComputerClockState>("state");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("style");
        const QString adjtimex = QStringLiteral("adjtimex");
        QTest::newRow("synchronized") << ComputerClockState{Sync::Synchronized, 12.0, 0.345, adjtimex, {}}
                                      << "PC clock synchronized, max error 12 ms"
                                      << "";
        QTest::newRow("not synchronized")
            << ComputerClockState{Sync::Unsynchronized, 16000.0, 16000.0, adjtimex, {}}
            << "PC clock not synchronized"
            << "color: rgb(192, 0, 0);";
        QTest::newRow("unknown")
            << ComputerClockState{Sync::Unknown, {}, {}, "GetSystemTimeAdjustmentPrecise", {}}
            << "PC clock state unknown"
            << "color: rgb(128, 128, 128);";
    }
    void shown() {
        QFETCH(ComputerClockState, state);
        Form1Harness h;
        h.clockReader.state = state;
        h.startWithPort(1);
        const auto* label = h.find<QLabel>(kState);
        QTEST(label->text(), "text");
        QTEST(label->styleSheet(), "style");
        QCOMPARE(label->toolTip(), ComputerClockStateText::account(state));
    }

    // A change shows within a few seconds, from one more read.
    void refreshed() {
        Form1Harness h;
        h.start();
        h.clockReader.state.sync = Sync::Unsynchronized;
        QTRY_COMPARE_WITH_TIMEOUT(h.text(kState), QStringLiteral("PC clock not synchronized"), 5000);
        QCOMPARE(h.clockReader.reads, 2);
    }
};

QTEST_MAIN(ComputerClockStateTest)
#include "tst_computer_clock_state.moc"
