#pragma once

#include "ComputerClockReader.h"

#include <QJsonObject>

// How the programs tell the computer clock's state, the same in the window's
// status line, on the command line and in the clock service.
namespace ComputerClockStateText {

// "synchronized", "unsynchronized" or "unknown".
QString name(ComputerClockState::Sync sync);

// "PC clock synchronized, max error 12 ms", "PC clock not synchronized",
// "PC clock state unknown". The maximum error is rounded up: it is a bound.
QString summary(const ComputerClockState& state);

// What the source said: "adjtimex: max error 16000 ms, estimated error
// 16000 ms", "GetSystemTimeAdjustmentPrecise: time adjustment off: ...".
QString account(const ComputerClockState& state);

// {"state", "synchronized" (true, false or null), "maxErrorMs", "estErrorMs",
// "source"} and "detail" when the source said more.
QJsonObject toJson(const ComputerClockState& state);

} // namespace ComputerClockStateText
