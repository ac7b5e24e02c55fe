#pragma once

#include "ClockProtocol.h"
#include "DeviceClock.h"

#include <QByteArray>
#include <optional>

// The simulator's own encoders and decoders of the master clock's frames.
namespace ClockFrames {

// The clock number (1 or 2) in byte 1 of a frame that starts as `shape` does;
// nothing for another code, another byte 1 or a frame shorter than two bytes.
std::optional<int> clockNumber(const QByteArray& frame, const ClockProtocol::Frame& shape);

// A frame of `shape` for countdown clock `clockNumber` (ignored when the shape
// names no clock), with `fields` after bytes 0 and 1.
QByteArray build(const ClockProtocol::Frame& shape, int clockNumber, const QByteArray& fields);

// The date, weekday and time bytes 2 to 8 of a set-time or time frame carry,
// YY MM DD W hh mm ss; nothing unless they are a valid BCD date in 2000 to
// 2099, a weekday 0 (Sunday) to 6 and a valid BCD time.
std::optional<DeviceClock::Reading> clockTime(const QByteArray& frame);

// The clock's own time frame AA 00 YY MM DD W hh mm ss for a reading.
QByteArray clockTimeFrame(const DeviceClock::Reading& reading);

} // namespace ClockFrames
