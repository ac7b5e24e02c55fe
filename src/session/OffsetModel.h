#pragma once

#include <QDateTime>

struct LineSettings;

// How far the master clock is from the computer's clock, by one of the time
// frames it sends of its own accord: the frame names the date and the second
// at whose start its first byte left, and its last byte arrives the bytes'
// time on the line later.
namespace OffsetModel {

// When the first byte of a time frame leaves, after the start of the second
// the frame names.
constexpr qint64 kFirstByteLeavesUs = 0;
constexpr qint64 kDayUs = 24LL * 3600 * 1'000'000;

// The time `bytes` characters take on the line at its speed and format.
qint64 lineTimeUs(int bytes, const LineSettings& line);

// When the first byte of a time frame whose last byte arrived at
// `lastByteArrival` left, by the computer's clock: microseconds since
// 1970-01-01 UTC, through the computer's time zone as it was at that moment.
// The offset holds at that moment.
qint64 firstByteLeftUs(const QDateTime& lastByteArrival, const LineSettings& line);

// Master clock minus computer clock, in microseconds, for a time frame that
// names the date `date` and the time of day `time` and whose last byte
// arrived at `lastByteArrival` by the computer's clock; both as the local
// time of day shows them, so that a master clock a day ahead is 86,400 s
// ahead.
qint64 offsetUs(const QDate& date, const QTime& time, const QDateTime& lastByteArrival,
                const LineSettings& line);

// The part of an offset within a day, the short way round midnight: how far
// the master clock's time of day is from the computer's, its date aside.
qint64 timeOfDayPart(qint64 offsetUs);

} // namespace OffsetModel
