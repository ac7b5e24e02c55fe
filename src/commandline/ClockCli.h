#pragma once

#include "CliArguments.h"
#include "CliStatus.h"
#include "protocol/AnswerWait.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

struct ClockSchedule;
class QTextStream;
class SerialPortComponent;
class SystemClockSetter;
class WallClock;

// What varo-clock-cli talks to outside itself. Tests put a recorder in
// place of the clock setter.
struct CliSeams {
    WallClock* clock = nullptr;
    SystemClockSetter* clockSetter = nullptr;
    QTextStream* out = nullptr;
    QTextStream* err = nullptr;
};

// Runs one clock command of the window from the command line, with the
// window's frames, waits, decoders, file reader and writer and clock setter.
// Needs a running QCoreApplication: the answer wait and the GPS stream run
// the event loop.
class ClockCli {
public:
    explicit ClockCli(const CliSeams& seams) : m_seams(seams) {}

    CliStatus run(const QStringList& arguments);

private:
    void execute(const CliArguments& arguments);
    void setTime(SerialPortComponent& port, const CliArguments& arguments);
    void countdown(SerialPortComponent& port, const CliArguments& arguments);
    void readSettings(SerialPortComponent& port, const CliArguments& arguments);
    void writeSettings(SerialPortComponent& port, const ClockSchedule& schedule);
    void syncComputer(SerialPortComponent& port);
    void sendGps(SerialPortComponent& port, const CliArguments& arguments);
    void listPorts();

    QByteArray awaitAnswer(SerialPortComponent& port, int expectedBytes, int limitSeconds,
                           AnswerWait::LeadingTimeFrames leading = AnswerWait::LeadingTimeFrames::Keep);
    void sent(const QString& text);
    void received(const QByteArray& bytes);
    void say(const QString& key, const QString& value, const QString& line);

    CliSeams m_seams;
    bool m_json = false;
    QJsonObject m_report;
    QJsonArray m_sent;
    QJsonArray m_received;
};
