// The readers of the computer clock's state through their seam: each state
// and source from what the system answers, and one real call.
#include "protocol/ComputerClockStateText.h"
#include "protocol/SystemClockReader.h"

#include <QtTest>
#include <memory>

#ifndef Q_OS_WIN
#include <sys/timex.h>
#endif

using Sync = ComputerClockState::Sync;
using Reader = std::shared_ptr<ComputerClockReader>;
Q_DECLARE_METATYPE(Reader)

namespace {
Reader kernel(const AdjtimexClockReader::Answer& answer) {
    return std::make_shared<AdjtimexClockReader>([answer] { return answer; });
}
Reader windows(const TimeAdjustmentClockReader::Answer& answer) {
    return std::make_shared<TimeAdjustmentClockReader>([answer] { return answer; });
}
} // namespace

class ComputerClockReaderTest : public QObject {
    Q_OBJECT

private slots:
    void states_data() {
        QTest::addColumn<Reader>("reader");
        QTest::addColumn<Sync>("sync");
        QTest::addColumn<QString>("account"); // the source, the errors in ms and the detail
        QTest::newRow("kernel: 12 ms") << kernel({{}, 12'000, 345}) << Sync::Synchronized
                                       << "adjtimex: max error 12 ms, estimated error 0.345 ms";
        QTest::newRow("kernel: just under 16 s") << kernel({{}, 15'999'999, 1'000}) << Sync::Synchronized
                                                 << "adjtimex: max error 15999.999 ms, estimated error 1 ms";
        QTest::newRow("kernel: 16 s, its limit")
            << kernel({{}, 16'000'000, 16'000'000}) << Sync::Unsynchronized
            << "adjtimex: max error 16000 ms, estimated error 16000 ms";
        QTest::newRow("kernel: call refused") << kernel({QStringLiteral("Operation not permitted")})
                                              << Sync::Unknown << "adjtimex: Operation not permitted";
        QTest::newRow("Windows: adjusted") << windows({{}, true, 156'249, 156'250}) << Sync::Unknown
                                           << "GetSystemTimeAdjustmentPrecise: time adjustment on, rate -6.4 "
                                              "ppm: a time service steers the clock";
        QTest::newRow("Windows: not adjusted") << windows({{}, false, 156'250, 156'250}) << Sync::Unknown
                                               << "GetSystemTimeAdjustmentPrecise: time adjustment off: no "
                                                  "time service steers the clock's rate";
        QTest::newRow("Windows: no such function")
            << windows({QStringLiteral("this Windows has no GetSystemTimeAdjustmentPrecise")})
            << Sync::Unknown
            << "GetSystemTimeAdjustmentPrecise: this Windows has no GetSystemTimeAdjustmentPrecise";
    }
    void states() {
        QFETCH(Reader, reader);
        const ComputerClockState state = reader->read();
        QTEST(state.sync, "sync");
        QTEST(ComputerClockStateText::account(state), "account");
    }

    // A real call, as a normal user: this computer's clock is not synchronized.
    void thisComputer() {
        const ComputerClockState state = SystemClockReader().read();
#ifdef Q_OS_WIN
        QCOMPARE(state.sync, Sync::Unknown);
        QVERIFY(ComputerClockStateText::account(state).startsWith("GetSystemTimeAdjustmentPrecise: "));
#else
        timex asked{};
        QVERIFY(clock_adjtime(CLOCK_REALTIME, &asked) != -1);
        if (asked.maxerror < AdjtimexClockReader::kUnsynchronizedFromUs)
            QSKIP("a time service keeps this computer's clock: its maximum error is below 16 s");
        QCOMPARE(state.sync, Sync::Unsynchronized);
        // The kernel stops counting its maximum error at 16 s.
        QVERIFY2(ComputerClockStateText::account(state).startsWith(
                     "adjtimex: max error 16000 ms, estimated error "),
                 qPrintable(ComputerClockStateText::account(state)));
#endif
    }
};

QTEST_GUILESS_MAIN(ComputerClockReaderTest)
#include "tst_computer_clock_reader.moc"
