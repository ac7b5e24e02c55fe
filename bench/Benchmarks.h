#pragma once

#include "StampedDialogs.h"
#include "app/ProductionSeams.h"
#include "protocol/WallClock.h"
#include "serial/SerialDevice.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class Form1;
class QAbstractButton;
class SimChild;

struct BenchOptions {
    QString simPath;
    QString jsonPath;
    int presses = 20;    // per timed command
    int reads = 20;      // answered settings reads
    int waits = 12;      // second-boundary waits, each design
    int silentReads = 3; // unanswered settings reads, each design
    int startupRuns = 10;
    int streamSeconds = 30; // sentences of the GPS stream
    int seed = 1;           // of the random click phases
    QSet<QString> only;     // parts to run; empty runs all
};

// One run of every measurement against the simulator, with the window's real
// serial component, the computer's clock and time-stamping message boxes.
class BenchRun {
public:
    static const QStringList kParts;

    explicit BenchRun(BenchOptions options);
    ~BenchRun();

    // Prints the table, writes the JSON file; 0 when every part could be
    // measured (whether or not it met its target).
    int exec();

private:
    struct Row {
        QString measurement;
        QString value;
        QString target;
        QString verdict;
    };

    // A timed frame as the simulator received it.
    struct TimedFrame {
        qint64 receivedUs;
        qint64 boundaryUs; // start of the second the frame belongs to
    };

    bool wanted(const QString& part) const {
        return m_options.only.isEmpty() || m_options.only.contains(part);
    }
    std::unique_ptr<SimChild> startSim(const QStringList& options);
    // A window on `device` (as Com16) with the given clock and serial devices;
    // the real ones unless told otherwise.
    bool openWindow(const QString& device, WallClock* clock = nullptr, SerialDeviceFactory devices = {});
    QAbstractButton* button(const QString& name) const;
    void pump(int ms);
    int randomMs(int low, int high) { return int(m_random.bounded(low, high + 1)); }
    void fail(const QString& why);
    // Presses a timed command (after a random pause) and finds its frame in
    // the simulator's log; nullopt after fail().
    std::optional<TimedFrame> pressTimed(SimChild& sim, const QString& buttonName, const QString& hexPrefix,
                                         const std::function<void()>& beforeClick = {});
    void addTarget(const QString& measurement, double value, double limit, const QString& unit, int decimals);
    void addInfo(const QString& measurement, const QString& value);

    QJsonObject measureStartup();
    QJsonObject measureBoundaryWaitCost();
    QJsonObject measureBoundaryLatency(SimChild& sim);
    QJsonObject measureBoundaryBreakdown(SimChild& windowSim, SimChild& floorSim);
    QJsonObject measureAnswerLatency(SimChild& sim);
    QJsonObject measureStreamLatency(SimChild& sim);
    QJsonObject measureAnswerWaitCost(SimChild& windowSim, SimChild& referenceSim);

    void printTable(const QJsonObject& machine, const QJsonObject& load) const;

    BenchOptions m_options;
    QRandomGenerator m_random;
    SystemWallClock m_clock;
    StampedDialogs m_dialogs;
    ProductionSeams m_production{&m_dialogs};
    std::unique_ptr<Form1> m_window;
    QList<Row> m_rows;
    QJsonArray m_targets;
    QStringList m_errors;
};
