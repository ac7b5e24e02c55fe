#pragma once

#include "WaitCursorShown.h"
#include "protocol/SystemClockSetter.h"

#include <QList>

// Records the times the program asks to set and answers with nextResult.
class FakeClockSetter : public SystemClockSetter {
public:
    Result setTimeOfDay(const QTime& time) override {
        times.append(time);
        underWaitCursor.append(waitCursorShown());
        return nextResult;
    }

    QList<QTime> times;
    // For each call, whether the wait cursor was up.
    QList<bool> underWaitCursor;
    Result nextResult{true, 0, QString()};
};
