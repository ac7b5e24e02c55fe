#include "OffsetModel.h"

#include "protocol/Frames.h"
#include "serial/LineSettings.h"

namespace OffsetModel {

qint64 lineTimeUs(int bytes, const LineSettings& line) {
    return qint64(bytes) * line.bitsPerCharacter() * 1'000'000 / qMax(line.baudRate, 1);
}

qint64 firstByteLeftUs(const QDateTime& lastByteArrival, const LineSettings& line) {
    return lastByteArrival.toMSecsSinceEpoch() * 1000 - lineTimeUs(Frames::Length::ClockTime, line);
}

qint64 offsetUs(const QDate& date, const QTime& time, const QDateTime& lastByteArrival,
                const LineSettings& line) {
    const qint64 firstByteLeft = qint64(time.msecsSinceStartOfDay()) * 1000 + kFirstByteLeavesUs;
    const qint64 firstByteLeftByComputer = qint64(lastByteArrival.time().msecsSinceStartOfDay()) * 1000 -
                                           lineTimeUs(Frames::Length::ClockTime, line);
    return lastByteArrival.date().daysTo(date) * kDayUs + firstByteLeft - firstByteLeftByComputer;
}

qint64 timeOfDayPart(qint64 offsetUs) {
    const qint64 withinDay = (offsetUs % kDayUs + kDayUs) % kDayUs;
    return withinDay > kDayUs / 2 ? withinDay - kDayUs : withinDay;
}

} // namespace OffsetModel
