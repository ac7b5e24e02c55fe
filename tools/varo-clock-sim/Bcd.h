#pragma once

#include <QTime>
#include <QtGlobal>
#include <optional>

// Packed BCD, as the master clock's frames carry two-digit numbers: the tens
// in the high four bits, the units in the low four.
namespace Bcd {

// The value of a BCD byte; nothing when a digit is above 9.
inline std::optional<int> value(quint8 byte) {
    if ((byte >> 4) > 9 || (byte & 0x0F) > 9)
        return std::nullopt;
    return (byte >> 4) * 10 + (byte & 0x0F);
}

// The BCD byte of 0 to 99.
inline quint8 byte(int value) {
    return quint8((value / 10) << 4 | value % 10);
}

// A time of day from three BCD bytes; nothing when one is no BCD or no valid time.
inline std::optional<QTime> time(quint8 hours, quint8 minutes, quint8 seconds) {
    const auto h = value(hours), m = value(minutes), s = value(seconds);
    if (!h || !m || !s || !QTime::isValid(*h, *m, *s))
        return std::nullopt;
    return QTime(*h, *m, *s);
}

} // namespace Bcd
