#pragma once

#include "Form1Harness.h"
#include "SimLogLine.h"
#include "SimProcess.h"
#include "app/ProductionSeams.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

class QComboBox;

// The window as an operator runs it against the master clock simulator: the
// program's own wiring (the real serial component, with Com16 mapped to the
// simulator's pseudo-terminal, and the computer's clock), except that message
// boxes and the computer clock setter are recorded by `ui`'s fakes
// (ui.dialogs, ui.clockSetter). ui's fake serial ports and fake clock stay
// unused; its helpers find, click and read the widgets of the window that
// openWindow() installs in ui.window.
class SimWindow {
public:
    static constexpr int kPort = 16;

    // The window closes before the simulator ends.
    ~SimWindow() { ui.window.reset(); }

    // Starts the simulator with `options` and a window on its device. The
    // simulator keeps running when a window closes (--persist), so a test can
    // open a fresh window on the same master clock.
    bool start(const QStringList& options = {});
    // Starts a new simulator, ending the one before, and maps Com16 to its
    // device for the next port scan.
    bool startSimulator(const QStringList& options = {});
    // Closes the window, if any, and opens a new one. It checks that the port
    // list selected Com16 and that the window holds the simulator's device
    // open.
    bool openWindow();
    SimProcess& sim() { return *m_sim; }
    // Where the window keeps its daily frame record files.
    QString recordFolder() const { return m_recordFolder.path(); }

    // Whether this process holds `device` open.
    static bool holdsOpen(const QString& device);

    // The number of simulator log lines so far: where the lines of the next
    // step begin.
    int logMark() { return int(m_sim->lines().size()); }
    // Waits for the first log line from `fromLine` on that matches: a
    // LogLinePattern or a QRegularExpression.
    template <typename Pattern> auto waitForLog(const Pattern& pattern, int fromLine, int timeoutMs = 5000) {
        return m_sim->waitForLine(pattern, timeoutMs, fromLine);
    }
    // The index of a whole log line, to look at the lines after it.
    int indexOfLine(const QString& line) { return int(m_sim->lines().indexOf(line)); }

    // Lets the window's events run, as they do while it is idle, then clicks
    // a command button; returns how long the command ran, in ms.
    qint64 click(const QString& button);
    // Chooses "Search" in the port list, as the operator does.
    void chooseSearch();

    QComboBox* combo(const QString& name) const;
    QStringList messages() { return ui.dialogs.texts(); }

    Form1Harness ui;

private:
    ProductionSeams m_production{&ui.dialogs};
    QTemporaryDir m_recordFolder;
    std::unique_ptr<SimProcess> m_sim = std::make_unique<SimProcess>();
};
