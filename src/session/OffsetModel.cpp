#include "OffsetModel.h"

#include "protocol/Frames.h"
#include "serial/LineSettings.h"

namespace OffsetModel {

namespace {
constexpr qint64 kDayUs = 24LL * 3600 * 1'000'000;
}

qint64 lineTimeUs(int bytes, const LineSettings& line) {
    return qint64(bytes) * line.bitsPerCharacter() * 1'000'000 / qMax(line.baudRate, 1);
}

qint64 firstByteLeftUs(const QDateTime& lastByteArrival, const LineSettings& line) {
    return lastByteArrival.toMSecsSinceEpoch() * 1000 - lineTimeUs(Frames::Length::ClockTime, line);
}

qint64 offsetUs(const QTime& named, const QDateTime& lastByteArrival, const LineSettings& line) {
    const qint64 firstByteLeft = qint64(named.msecsSinceStartOfDay()) * 1000 + kFirstByteLeavesUs;
    const qint64 firstByteLeftByComputer = qint64(lastByteArrival.time().msecsSinceStartOfDay()) * 1000 -
                                           lineTimeUs(Frames::Length::ClockTime, line);
    const qint64 difference = ((firstByteLeft - firstByteLeftByComputer) % kDayUs + kDayUs) % kDayUs;
    return difference > kDayUs / 2 ? difference - kDayUs : difference;
}

} // namespace OffsetModel
