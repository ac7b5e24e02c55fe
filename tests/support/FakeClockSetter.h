#pragma once

#include "WaitCursorShown.h"
#include "protocol/SystemClockSetter.h"

#include <QList>
#include <functional>

// Records the offsets the program asks to move the clock by and answers with nextResult.
class FakeClockSetter : public SystemClockSetter {
public:
    Result moveClockBy(qint64 offsetUs) override {
        offsetsUs.append(offsetUs);
        underWaitCursor.append(waitCursorShown());
        return nextResult;
    }
    bool canMoveClockBy(qint64 offsetUs) const override { return !cannotTake || !cannotTake(offsetUs); }

    QList<qint64> offsetsUs;
    // For each call, whether the wait cursor was up.
    QList<bool> underWaitCursor;
    Result nextResult; // nothing: set
    // Offsets it cannot take, as Windows' time cannot move into another day; none when empty.
    std::function<bool(qint64 offsetUs)> cannotTake;
};

// The error number and reason of a setter's result; 0 and nothing when it set the clock.
inline int errorNumberOf(const SystemClockSetter::Result& result) {
    return result ? result->code() : 0;
}
inline QString reasonOf(const SystemClockSetter::Result& result) {
    return result ? result->description() : QString();
}
