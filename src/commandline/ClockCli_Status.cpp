// varo-clock-cli status and --require-sync: whether the computer's clock is
// synchronized, and how far the master clock is from it by its own time frames.
#include "ClockCli.h"
#include "protocol/ComputerClockReader.h"
#include "protocol/ComputerClockStateText.h"
#include "schedule/TimeText.h"
#include "serial/SerialPortComponent.h"
#include "session/ClockSession.h"

#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

void ClockCli::reportStatus(const CliArguments& arguments) {
    const ComputerClockState computer = reportComputerClock();
    m_report.insert(QStringLiteral("masterClock"), QJsonValue::Null);
    SerialPortComponent port(m_seams.serialDevices);
    ClockSession session(port, *m_seams.clock, m_seams.ports);
    openPort(session, arguments);
    if (port.PortOpen())
        reportMasterClock(session, arguments.statusSeconds);
    else if (!m_json)
        *m_seams.out << "Master clock not read: no usable port\n";
    if (arguments.requireSync)
        requireSynchronized(computer);
}

void ClockCli::reportMasterClock(ClockSession& session, int seconds) {
    // The line is not held: the session reads the time frames the master
    // clock sends between commands. A late read only makes a frame look
    // older, so the frame read soonest after it left tells the offset best.
    int frames = 0;
    QTime latest;
    qint64 offsetUs = 0;
    std::optional<RuntimeError> lost;
    QEventLoop loop;
    QObject::connect(&session, &ClockSession::timeFrameSeen, &loop,
                     [&](const TimeFrameMonitor::Sighting& sighting) {
                         offsetUs = frames++ == 0 ? sighting.offsetUs : qMax(offsetUs, sighting.offsetUs);
                         latest = sighting.clockTime;
                     });
    QObject::connect(&session.port(), &SerialPortComponent::lineLost, &loop, [&](const RuntimeError& error) {
        lost = error;
        loop.quit();
    });
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    if (lost)
        throw *lost;
    if (frames == 0)
        throw Failure{CliStatus::NoAnswer,
                      QStringLiteral("No time frame from the master clock in %1 s").arg(seconds)};

    const QString time = TimeText::format(latest);
    const double offsetMs = offsetUs / 1000.0;
    m_report.insert(QStringLiteral("masterClock"), QJsonObject{{QStringLiteral("time"), time},
                                                               {QStringLiteral("offsetMs"), offsetMs},
                                                               {QStringLiteral("frames"), frames}});
    const QString counted =
        frames == 1 ? QStringLiteral("1 time frame") : QStringLiteral("%1 time frames").arg(frames);
    if (!m_json)
        *m_seams.out << QStringLiteral("Master clock %1, offset %2 ms (%3)\n")
                            .arg(time, QString::asprintf("%+.0f", offsetMs), counted);
}

ComputerClockState ClockCli::reportComputerClock() {
    const ComputerClockState state = m_seams.clockReader->read();
    m_report.insert(QStringLiteral("computerClock"), ComputerClockStateText::toJson(state));
    if (!m_json)
        *m_seams.out << ComputerClockStateText::summary(state) << " ("
                     << ComputerClockStateText::account(state) << ")\n";
    return state;
}

void ClockCli::requireSynchronized(const ComputerClockState& state) {
    if (state.sync == ComputerClockState::Sync::Synchronized)
        return;
    const QString unknown = state.sync == ComputerClockState::Sync::Unknown
                                ? QStringLiteral("its state is unknown; ")
                                : QString();
    throw Failure{CliStatus::NotSynchronized, QStringLiteral("the computer's clock is not synchronized: ") +
                                                  unknown + ComputerClockStateText::account(state)};
}
