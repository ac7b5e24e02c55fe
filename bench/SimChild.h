#pragma once

#include "FrameLog.h"
#include "SimProcess.h"

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

    // The next line after the cursor whose direction and hex start match;
    // lines skipped on the way are passed over for good.
    std::optional<SimLogLine> next(const QString& direction, const QString& hexPrefix, int timeoutMs);

private:
    SimProcess m_process;
    int m_cursor = 1; // after the DEVICE line
};
