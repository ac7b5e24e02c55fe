#pragma once

#include "CliArguments.h"
#include "CliStatus.h"
#include "serial/SerialDevice.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

struct ClockOutcome;
struct ComputerClockState;
class ClockSession;
class ComputerClockReader;
class PortCatalog;
class QTextStream;
class SystemClockSetter;
class WallClock;

// What varo-clock-cli talks to outside itself; tests wire fakes.
struct CliSeams {
    WallClock* clock = nullptr;
    SystemClockSetter* clockSetter = nullptr;
    SerialDeviceFactory serialDevices; // the numbered ports
    PortCatalog* ports = nullptr;      // named devices and who each port is
    QTextStream* out = nullptr;
    QTextStream* err = nullptr;
    ComputerClockReader* clockReader = nullptr; // status, --require-sync
};

// Runs one clock command of the window from the command line: it turns the
// arguments into a request to the clock session and the outcome into output
// and an exit status. Needs a running QCoreApplication: the answer wait and
// the GPS stream run the event loop.
class ClockCli {
public:
    explicit ClockCli(const CliSeams& seams) : m_seams(seams) {}

    CliStatus run(const QStringList& arguments);

private:
    // Ends a run with its exit status and the message for standard error.
    struct Failure {
        CliStatus status;
        QString message;
    };

    // A settings file's groups as the write frame carries them.
    struct SettingsToWrite {
        int clockNumber;
        QByteArray records;
    };

    void execute(const CliArguments& arguments);
    SettingsToWrite settingsToWrite(const QString& path);
    void openPort(ClockSession& session, const CliArguments& arguments);
    void runExchange(ClockSession& session, const CliArguments& arguments,
                     const std::optional<SettingsToWrite>& settings);
    void report(const CliArguments& arguments, const ClockOutcome& outcome);
    void reportSettings(const CliArguments& arguments, const ClockOutcome& outcome);
    void sendGps(ClockSession& session, const CliArguments& arguments);
    void listPorts();

    // status and --require-sync (ClockCli_Status.cpp).
    void reportStatus(const CliArguments& arguments);
    void reportMasterClock(ClockSession& session, int seconds);
    ComputerClockState reportComputerClock();
    void requireSynchronized(const ComputerClockState& state);

    void sent(const QString& text);
    void received(const QByteArray& bytes);
    void say(const QString& key, const QString& value, const QString& line);
    // On standard error, or in the JSON object's "warnings".
    void warn(const QString& text);

    CliSeams m_seams;
    bool m_json = false;
    QJsonObject m_report;
    QJsonArray m_sent;
    QJsonArray m_received;
    QJsonArray m_warnings;
};
