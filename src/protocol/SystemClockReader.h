#pragma once

#include "AdjtimexClockReader.h"
#include "TimeAdjustmentClockReader.h"

// The computer clock's state as the programs read it for real: the kernel's
// on Linux, the time adjustment on Windows.
class SystemClockReader : public ComputerClockReader {
public:
    ComputerClockState read() const override { return m_reader.read(); }

private:
#ifdef Q_OS_WIN
    TimeAdjustmentClockReader m_reader{TimeAdjustmentClockReader::askWindows};
#else
    AdjtimexClockReader m_reader{AdjtimexClockReader::askKernel};
#endif
};
