#pragma once

#include "FrameLog.h"
#include "SimProcess.h"

#include <functional>
#include <optional>

using SimLogLine = FrameLog::Entry;

// The master clock simulator on its own pseudo-terminal, its log read by a
// cursor that walks forward, so each step finds the lines that came after the
// previous step's.
class SimChild {
public:
    explicit SimChild(const QString& program) : m_process(program) {}

    // Starts the simulator and waits for its DEVICE line.
    bool start(const QStringList& options, QString* error);
    QString device() const { return m_process.device(); }

    // The next frame or event line after the cursor that `matches`; lines
    // skipped on the way are passed over for good.
    std::optional<SimLogLine> next(const std::function<bool(const SimLogLine&)>& matches, int timeoutMs);

private:
    SimProcess m_process;
    int m_cursor = 1; // after the DEVICE line
};
