#include "ClockFrames.h"

#include "Bcd.h"

namespace ClockFrames {

namespace {
constexpr int kCentury = 2000;
}

std::optional<int> clockNumber(const QByteArray& frame, const ClockProtocol::Frame& shape) {
    if (frame.size() < 2 || quint8(frame[0]) != shape.code)
        return std::nullopt;
    const int number = quint8(frame[1]) - shape.byte1;
    if (number != 1 && number != 2)
        return std::nullopt;
    return number;
}

QByteArray build(const ClockProtocol::Frame& shape, int clockNumber, const QByteArray& fields) {
    QByteArray frame;
    frame.append(char(shape.code));
    frame.append(char(shape.namesClock ? shape.byte1 + clockNumber : shape.byte1));
    frame.append(fields);
    return frame;
}

std::optional<DeviceClock::Reading> clockTime(const QByteArray& frame) {
    const auto byte = [&frame](int i) {
        return quint8(frame.at(i));
    };
    if (frame.size() < ClockProtocol::kClockTime.length)
        return std::nullopt;
    const auto year = Bcd::value(byte(2)), month = Bcd::value(byte(3)), day = Bcd::value(byte(4));
    const int weekday = byte(5);
    const auto time = Bcd::time(byte(6), byte(7), byte(8));
    if (!year || !month || !day || !QDate::isValid(kCentury + *year, *month, *day) || weekday > 6 || !time)
        return std::nullopt;
    return DeviceClock::Reading{QDate(kCentury + *year, *month, *day), *time, weekday};
}

QByteArray clockTimeFrame(const DeviceClock::Reading& reading) {
    const QDate& date = reading.date;
    const QTime& time = reading.time;
    const char fields[] = {char(Bcd::byte(date.year() % 100)), char(Bcd::byte(date.month())),
                           char(Bcd::byte(date.day())),        char(reading.weekday),
                           char(Bcd::byte(time.hour())),       char(Bcd::byte(time.minute())),
                           char(Bcd::byte(time.second()))};
    return build(ClockProtocol::kClockTime, 0, QByteArray(fields, sizeof fields));
}

} // namespace ClockFrames
