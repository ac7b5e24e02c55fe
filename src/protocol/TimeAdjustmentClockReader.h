#pragma once

#include "ComputerClockReader.h"

#include <functional>

// The computer clock's state on Windows, as far as a normal user may read it:
// whether the clock is synchronized is known to the time service alone
// (w32tm /query /status needs an administrator), so the state stays unknown.
// GetSystemTimeAdjustmentPrecise tells whether a time service steers the
// clock's rate, and the detail says so.
class TimeAdjustmentClockReader : public ComputerClockReader {
public:
    // What GetSystemTimeAdjustmentPrecise answered.
    struct Answer {
        QString failure;        // why there is no answer; empty when it answered
        bool adjusting = false; // periodic time adjustment on
        quint64 adjustment = 0; // added to the clock for each increment that passes
        quint64 increment = 0;
    };
    using Ask = std::function<Answer()>;

    explicit TimeAdjustmentClockReader(Ask ask) : m_ask(std::move(ask)) {}
    ComputerClockState read() const override;

#ifdef Q_OS_WIN
    static Answer askWindows();
#endif

private:
    Ask m_ask;
};
