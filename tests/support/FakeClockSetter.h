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
    Result nextResult; // nothing: set
};

// The error number and reason of a setter's result; 0 and nothing when it set the clock.
inline int errorNumberOf(const SystemClockSetter::Result& result) {
    return result ? result->code() : 0;
}
inline QString reasonOf(const SystemClockSetter::Result& result) {
    return result ? result->description() : QString();
}
