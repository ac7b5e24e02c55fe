#pragma once

#include "CliArguments.h"
#include "CliStatus.h"
#include "serial/SerialDevice.h"
#include "settings_file/SettingsFileText.h"

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

    void execute(const CliArguments& arguments);
    // The clock command's request, with a settings file read and checked.
    ClockRequest requestOf(const CliArguments& arguments);
    SettingsFileText::Decoded settingsFile(const QString& path);
    void openPort(ClockSession& session, const CliArguments& arguments);
    void runExchange(ClockSession& session, const CliArguments& arguments, const ClockRequest& request);
    void reportFailure(const CliArguments& arguments, const ClockRequest& request,
                       const ClockOutcome& outcome);
    void reportDone(const CliArguments& arguments, const ClockOutcome& outcome);
    void listPorts();

    // status and --require-sync (ClockCli_Status.cpp).
    void reportStatus(const CliArguments& arguments);
    void reportMasterClock(ClockSession& session, int seconds);
    ComputerClockState reportComputerClock();
    void requireSynchronized(const ComputerClockState& state);

    void sent(const QString& text);
    void received(const QByteArray& bytes);
    // The command's fields that the command line prints as lines of their
    // own, each once.
    void sayFields(const ClockCommand& command, const ClockOutcome& outcome);
    void say(const QString& key, const QString& value, const QString& line);
    // On standard error, or in the JSON object's "warnings".
    void warn(const QString& text);

    CliSeams m_seams;
    bool m_json = false;
    QJsonObject m_report;
    QJsonArray m_sent;
    QJsonArray m_received;
    QJsonArray m_warnings;
    QStringList m_said; // the fields said so far
};
