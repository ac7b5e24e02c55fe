#pragma once

#include "protocol/SystemClockSetter.h"

#include <QList>

// Records the times the program asks to set and answers with nextResult.
class FakeClockSetter : public SystemClockSetter {
public:
    Result setTimeOfDay(const QTime& time) override {
        times.append(time);
        return nextResult;
    }

    QList<QTime> times;
    Result nextResult{true, 0, QString()};
};
