// Every door through which a set-time reaches the master clock, each beside
// its floor in the same run, in turns: the window, a fresh command line, the
// clock service's POST /set-time, the clock session through ser2net's
// RFC 2217 and raw ports. A door's figure is the latency of its frame at the
// simulator after the boundary; its floor's, the same for a bare write made
// the same way at the boundary (BareWrite). What a door adds above its floor
// is what the program costs there.
#include "BareWrite.h"
#include "Bench.h"
#include "Figures.h"
#include "Measurement.h"
#include "ProgramDoors.h"
#include "Report.h"
#include "Ser2net.h"
#include "SessionOnPort.h"
#include "Stats.h"
#include "TimedCommands.h"

#include <QUrl>

namespace {

// What a door may add above its floor, median.
constexpr double kAboveFloorLimitUs = 300;
constexpr int kFrameWaitMs = 5000;

// One set-time through a door or its floor, begun at a random moment of the
// second: its frame as the simulator received it; nothing after bench.fail().
using Press = std::function<std::optional<TimedFrame>()>;

struct Door {
    QString name;
    QString key;
    QString floorName;
    Press press;
    Press floorPress;
};

struct Latencies {
    QList<double> door, floor;
};

// Why a step failed, or nothing.
using Step = std::function<QString()>;

// A press that runs `action` at a random moment of the second and finds its
// frame at `sim`; then `settle`, if any, takes what the door answers.
Press pressBy(Bench& bench, SimChild& sim, const QString& what, Step action, Step settle = {}) {
    return [&bench, &sim, what, action = std::move(action),
            settle = std::move(settle)]() -> std::optional<TimedFrame> {
        bench.pump(bench.randomMs(0, 999));
        QString failure = action();
        const std::optional<TimedFrame> frame =
            failure.isEmpty() ? TimedCommands::nextFrame(sim, TimedCommands::setTime(), kFrameWaitMs)
                              : std::nullopt;
        if (failure.isEmpty() && !frame)
            failure = QStringLiteral("the simulator logged no set-time frame for the second before it");
        if (settle) {
            const QString settled = settle();
            if (failure.isEmpty())
                failure = settled;
        }
        if (!failure.isEmpty()) {
            bench.fail(what + QStringLiteral(": ") + failure);
            return std::nullopt;
        }
        return frame;
    };
}

std::optional<Latencies> measure(Bench& bench, const Door& door) {
    Latencies latencies;
    for (int press = 0; press < bench.options().presses; ++press)
        // In turns, each first every other time, so that both meet the same load.
        for (const bool floorTurn : {press % 2 == 1, press % 2 == 0}) {
            const std::optional<TimedFrame> frame = floorTurn ? door.floorPress() : door.press();
            if (!frame)
                return std::nullopt;
            (floorTurn ? latencies.floor : latencies.door) << double(frame->receivedUs - frame->boundaryUs);
        }
    return latencies;
}

QJsonObject report(Bench& bench, const Door& door, const Latencies& latencies) {
    const double aboveMedian = Stats::median(latencies.door) - Stats::median(latencies.floor);
    const double aboveP99 = Stats::percentile(latencies.door, 99) - Stats::percentile(latencies.floor, 99);
    bench.report().addTarget(QStringLiteral("%1: above its floor, median").arg(door.name), aboveMedian,
                             kAboveFloorLimitUs, QStringLiteral("us"), 0);
    bench.report().addInfo(
        QStringLiteral("  p99 above the floor; door / floor median, p99"),
        QStringLiteral("%1 us; %2; %3")
            .arg(aboveP99, 0, 'f', 0)
            .arg(Figures::us(Stats::median(latencies.door), Stats::percentile(latencies.door, 99)),
                 Figures::us(Stats::median(latencies.floor), Stats::percentile(latencies.floor, 99))));
    return {{QStringLiteral("floor_is"), door.floorName},
            {QStringLiteral("above_floor_median_us"), Figures::rounded(aboveMedian, 0)},
            {QStringLiteral("above_floor_p99_us"), Figures::rounded(aboveP99, 0)},
            {QStringLiteral("door"), Figures::latencyUs(latencies.door)},
            {QStringLiteral("floor"), Figures::latencyUs(latencies.floor)},
            {QStringLiteral("door_samples_us"), Figures::rounded(latencies.door, 0)},
            {QStringLiteral("floor_samples_us"), Figures::rounded(latencies.floor, 0)}};
}

QJsonObject measureDoors(Bench& bench) {
    // A simulator for the doors on a pseudo-terminal, one for their floor,
    // and three behind ser2net: the RFC 2217 door, the raw door, their floor.
    QList<SimChild*> sims;
    for (int i = 0; i < 5; ++i)
        if (SimChild* sim = bench.startSim())
            sims << sim;
        else
            return {};
    SimChild& ptySim = *sims[0];
    SimChild& ptyFloorSim = *sims[1];
    Ser2net server;
    const QString notListening = server.start({sims[2]->device(), sims[3]->device(), sims[4]->device()});
    QString error;
    const std::unique_ptr<BareWrite> ptyFloor = BareWrite::toPseudoTerminal(ptyFloorSim.device(), &error);
    const std::unique_ptr<BareWrite> tcpFloor =
        notListening.isEmpty() ? BareWrite::toTcpPort(quint16(QUrl(server.url(2, false)).port()), &error)
                               : nullptr;
    if (!notListening.isEmpty() || !ptyFloor || !tcpFloor) {
        bench.fail(notListening.isEmpty() ? error : notListening);
        return {};
    }
    const QString ptyFloorName = QStringLiteral("bare pseudo-terminal write");
    const QString tcpFloorName = QStringLiteral("bare write into ser2net's raw port");
    const Press ptyFloorPress = pressBy(bench, ptyFloorSim, ptyFloorName, [&] {
        return ptyFloor->writeAtNextBoundary(&error) ? QString() : error;
    });
    const Press tcpFloorPress = pressBy(bench, *sims[4], tcpFloorName, [&] {
        return tcpFloor->writeAtNextBoundary(&error) ? QString() : error;
    });

    QJsonObject figures;
    const auto run = [&](const Door& door) {
        const std::optional<Latencies> latencies = measure(bench, door);
        if (latencies)
            figures.insert(door.key, report(bench, door, *latencies));
        return latencies.has_value();
    };

    if (!bench.openWindow(ptySim.device()))
        return {};
    const bool windowMeasured =
        run({QStringLiteral("Window, Command1"), QStringLiteral("window"), ptyFloorName,
             [&] { return TimedCommands::press(bench, ptySim, TimedCommands::setTime()); }, ptyFloorPress});
    bench.closeWindow();
    if (!windowMeasured)
        return {};

    const QString cliName = QStringLiteral("Command line, a fresh varo-clock-cli set-time");
    CliChild cli;
    if (!run({cliName, QStringLiteral("command_line"), ptyFloorName,
              pressBy(
                  bench, ptySim, cliName,
                  [&] {
                      cli.startSetTime(ptySim.device());
                      return QString();
                  },
                  [&] { return cli.finish(); }),
              ptyFloorPress}))
        return {};

    {
        ServiceChild service;
        if (const QString failure = service.start(ptySim.device()); !failure.isEmpty()) {
            bench.fail(failure);
            return {};
        }
        const QString serviceName = QStringLiteral("Service, POST /set-time");
        if (!run({serviceName, QStringLiteral("service"), ptyFloorName,
                  pressBy(
                      bench, ptySim, serviceName, [&] { return service.postSetTime(); },
                      [&] { return service.answer(); }),
                  ptyFloorPress}))
            return {};
    }

    for (const bool rfc2217 : {true, false}) {
        SessionOnPort onPort;
        if (const QString failure = onPort.open(server.url(rfc2217 ? 0 : 1, rfc2217)); !failure.isEmpty()) {
            bench.fail(failure);
            return {};
        }
        ClockSession& session = onPort.session();
        const QString name = rfc2217 ? QStringLiteral("Clock session through ser2net, RFC 2217")
                                     : QStringLiteral("Clock session through ser2net, raw socket://");
        if (!run({name, rfc2217 ? QStringLiteral("session_rfc2217") : QStringLiteral("session_raw"),
                  tcpFloorName,
                  pressBy(bench, *sims[rfc2217 ? 2 : 3], name,
                          [&] {
                              return session.run(ClockRequest::setTime(), *session.holdLine()).done()
                                         ? QString()
                                         : QStringLiteral("the set-time did not end done");
                          }),
                  tcpFloorPress}))
            return {};
    }
    return figures;
}

[[maybe_unused]] const bool kRegistered =
    Measurement::add({45, QStringLiteral("doors"), QStringLiteral("doors"), measureDoors});

} // namespace
