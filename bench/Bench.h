#pragma once

#include "BenchOptions.h"
#include "SimChild.h"
#include "StampedDialogs.h"
#include "app/ProductionSeams.h"
#include "serial/SerialDevice.h"

#include <QRandomGenerator>
#include <memory>
#include <vector>

class Form1;
class Report;
class WallClock;

// What every measurement works with: the options, random pauses, simulators,
// one window on the real serial component with time-stamping message boxes,
// and the report. Runs the chosen measurements one after another.
class Bench {
public:
    // The countdown clock the window names in its frames: 倒计时钟1, chosen
    // when a window opens.
    static constexpr int kClockIndex = 0;

    explicit Bench(BenchOptions options);
    ~Bench();

    // Prints the table and writes the JSON file; 0 when every measurement
    // could be taken, whether or not it met its target.
    int exec();

    const BenchOptions& options() const { return m_options; }
    Report& report() { return *m_report; }
    // The measurement could not be taken: an error in the table, exit 1.
    void fail(const QString& why);

    int randomMs(int low, int high) { return int(m_random.bounded(low, high + 1)); }
    // Lets the event loop run for `ms`.
    void pump(int ms);

    // A simulator with --persist and `options`, stopped after the measurement
    // (after its window closed); nullptr after fail().
    SimChild* startSim(const QStringList& options = {});

    // A window on `device` (as Com16) with the given clock and serial devices,
    // the real ones unless told otherwise; false after fail(). Its message
    // boxes start empty: those of an earlier window are not its own.
    // Chooses kClockIndex in Combo2.
    bool openWindow(const QString& device, WallClock* clock = nullptr, SerialDeviceFactory devices = {});
    void closeWindow();
    // A widget of the open window by object name; nullptr after fail().
    template <typename Widget> Widget* widget(const QString& name) {
        auto* found = qobject_cast<Widget*>(findInWindow(name));
        if (!found)
            fail(QStringLiteral("the window has no %1").arg(name));
        return found;
    }
    // The message boxes the open window raised, stamped.
    const QList<StampedDialogs::Message>& messages() const { return m_dialogs.messages; }
    // The last message's text, or "no message".
    QString lastMessage() const;

private:
    QObject* findInWindow(const QString& name) const;
    void runMeasurements();

    BenchOptions m_options;
    QRandomGenerator m_random;
    StampedDialogs m_dialogs;
    ProductionSeams m_production{&m_dialogs};
    std::unique_ptr<Report> m_report;
    std::vector<std::unique_ptr<SimChild>> m_sims;
    std::unique_ptr<Form1> m_window;
};
