// Where the boundary latency goes, from instrumented seams: when the window
// saw the new second, called the write and had it return, and when the
// simulator had the frame; beside the floor of the same run, the same wait
// followed by a bare serial write without the window. The window's share is
// what the window and its session add between seeing the new second and the
// write's return, above the bare write's own time.
#include "Bench.h"
#include "Figures.h"
#include "Instrumented.h"
#include "Measurement.h"
#include "Report.h"
#include "Stats.h"
#include "TimedCommands.h"
#include "common/RuntimeError.h"
#include "protocol/SecondBoundary.h"
#include "serial/PortNames.h"
#include "serial/SerialPortComponent.h"

namespace {

// Microseconds per press, from the boundary unless named otherwise.
struct WindowSamples {
    QList<double> seen, handler, write, seenToReturned, receivedAfterWrite, total;
    QJsonArray presses;
};

struct FloorSamples {
    QList<double> total, writeBegan, seenToReturned;
};

bool measureWindow(Bench& bench, SimChild& sim, WindowSamples& samples) {
    StampingClock clock;
    qint64 writeBeganUs = 0, writeReturnedUs = 0;
    const SerialDeviceFactory stampingDevices = [&](int port) -> std::unique_ptr<SerialDevice> {
        return std::make_unique<StampingSerialDevice>(port, PortNames::deviceForPort(port), &writeBeganUs,
                                                      &writeReturnedUs);
    };
    if (!bench.openWindow(sim.device(), &clock, stampingDevices))
        return false;
    for (int press = 0; press < bench.options().presses; ++press)
        for (const TimedCommand& command : TimedCommands::all()) {
            const std::optional<TimedFrame> frame =
                TimedCommands::press(bench, sim, command, [&] { clock.reset(); });
            if (!frame)
                return false;
            const qint64 boundary = frame->boundaryUs;
            const qint64 seen = clock.secondChangeSeenUs();
            samples.seen << double(seen - boundary);
            samples.handler << double(writeBeganUs - seen);
            samples.write << double(writeReturnedUs - writeBeganUs);
            samples.seenToReturned << double(writeReturnedUs - seen);
            samples.receivedAfterWrite << double(frame->receivedUs - writeBeganUs);
            samples.total << double(frame->receivedUs - boundary);
            samples.presses.append(
                QJsonObject{{QStringLiteral("command"), command.button},
                            {QStringLiteral("sleep_end_us"), double(clock.lastSleepEndUs() - boundary)},
                            {QStringLiteral("second_seen_us"), samples.seen.last()},
                            {QStringLiteral("write_began_us"), double(writeBeganUs - boundary)},
                            {QStringLiteral("write_returned_us"), double(writeReturnedUs - boundary)},
                            {QStringLiteral("received_us"), samples.total.last()}});
        }
    bench.closeWindow();
    return true;
}

// The floor: the same wait, then a bare serial device writes a set-time frame
// made before the boundary.
bool measureFloor(Bench& bench, SimChild& sim, FloorSamples& samples) {
    StampingClock clock;
    qint64 writeBeganUs = 0, writeReturnedUs = 0;
    const QString device = sim.device();
    SerialPortComponent bare([&](int port) -> std::unique_ptr<SerialDevice> {
        return std::make_unique<StampingSerialDevice>(port, device, &writeBeganUs, &writeReturnedUs);
    });
    try {
        bare.setPortOpen(true);
    } catch (const RuntimeError& error) {
        bench.fail(QStringLiteral("cannot open the floor simulator: ") + error.description());
        return false;
    }
    const TimedCommand& setTime = TimedCommands::setTime();
    for (int press = 0; press < bench.options().presses; ++press) {
        bench.pump(bench.randomMs(0, 999));
        clock.reset();
        const QDateTime before = clock.now();
        const QByteArray frame = setTime.frameFor(before.addMSecs(1000 - before.time().msec()));
        int secondMarker = 0;
        waitForNextSecond(clock, secondMarker);
        bare.Output(frame);
        const std::optional<TimedFrame> received = TimedCommands::nextFrame(sim, setTime, 5000);
        if (!received) {
            bench.fail(QStringLiteral("the simulator logged no frame of the bare write"));
            return false;
        }
        samples.total << double(received->receivedUs - received->boundaryUs);
        samples.writeBegan << double(writeBeganUs - received->boundaryUs);
        samples.seenToReturned << double(writeReturnedUs - clock.secondChangeSeenUs());
    }
    return true;
}

void addRows(Report& report, const WindowSamples& window, const FloorSamples& floor, double windowShareUs) {
    report.addTarget(QStringLiteral("Window's share of the boundary latency (second seen to write returned, "
                                    "above the bare write), median"),
                     windowShareUs, 50, QStringLiteral("us"), 0);
    report.addInfo(QStringLiteral("  breakdown, median (instrumented seams, all three commands):"));
    report.addInfo(QStringLiteral("    new second seen after the boundary"),
                   Figures::us(Stats::median(window.seen)));
    report.addInfo(QStringLiteral("    second seen to write call"),
                   Figures::us(Stats::median(window.handler)));
    report.addInfo(QStringLiteral("    QSerialPort write call (incl. the pty write)"),
                   Figures::us(Stats::median(window.write)));
    report.addInfo(QStringLiteral("    second seen to write returned: window / bare write"),
                   Figures::us(Stats::median(window.seenToReturned), Stats::median(floor.seenToReturned)));
    report.addInfo(QStringLiteral("    write call to simulator RX"),
                   Figures::us(Stats::median(window.receivedAfterWrite)));
    report.addInfo(QStringLiteral("    total (median / p99)"),
                   Figures::us(Stats::median(window.total), Stats::percentile(window.total, 99)));
    report.addInfo(QStringLiteral("  floor: same wait + bare serial write, no window (median / p99)"),
                   Figures::us(Stats::median(floor.total), Stats::percentile(floor.total, 99)));
}

QJsonObject measureBoundaryBreakdown(Bench& bench) {
    SimChild* const windowSim = bench.startSim();
    SimChild* const floorSim = bench.startSim();
    WindowSamples window;
    FloorSamples floor;
    if (!windowSim || !floorSim || !measureWindow(bench, *windowSim, window) ||
        !measureFloor(bench, *floorSim, floor))
        return {};
    const double windowShareUs = Stats::median(window.seenToReturned) - Stats::median(floor.seenToReturned);
    addRows(bench.report(), window, floor, windowShareUs);
    return {{QStringLiteral("note"), QStringLiteral("instrumented seams; microseconds from the boundary")},
            {QStringLiteral("second_seen"), Figures::latencyUs(window.seen)},
            {QStringLiteral("handler_to_write"), Figures::latencyUs(window.handler)},
            {QStringLiteral("write_call"), Figures::latencyUs(window.write)},
            {QStringLiteral("seen_to_write_returned"), Figures::latencyUs(window.seenToReturned)},
            {QStringLiteral("write_to_simulator_rx"), Figures::latencyUs(window.receivedAfterWrite)},
            {QStringLiteral("total"), Figures::latencyUs(window.total)},
            {QStringLiteral("presses"), window.presses},
            {QStringLiteral("floor_bare_write"), Figures::latencyUs(floor.total)},
            {QStringLiteral("floor_write_began"), Figures::latencyUs(floor.writeBegan)},
            {QStringLiteral("floor_seen_to_write_returned"), Figures::latencyUs(floor.seenToReturned)},
            {QStringLiteral("window_share_us"), Figures::rounded(windowShareUs, 0)},
            {QStringLiteral("floor_samples_us"), Figures::rounded(floor.total, 0)}};
}

[[maybe_unused]] const bool kRegistered = Measurement::add(
    {40, QStringLiteral("breakdown"), QStringLiteral("boundary_breakdown"), measureBoundaryBreakdown});

} // namespace
