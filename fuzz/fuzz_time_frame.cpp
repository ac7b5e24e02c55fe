// The master clock's own 9-byte time frame through the decoder the clock
// synchronization uses, against an independent BCD decode of bytes 6 to 8.
#include "FuzzCheck.h"
#include "protocol/Frames.h"
#include "schedule/TimeText.h"

#include <cstddef>
#include <cstdint>

namespace {
// A packed BCD byte's value; a byte with a nibble above 9 is no number.
std::optional<int> bcd(quint8 byte) {
    if ((byte >> 4) > 9 || (byte & 0x0F) > 9)
        return std::nullopt;
    return (byte >> 4) * 10 + (byte & 0x0F);
}

// The time the three bytes stand for when each is BCD of a valid field.
std::optional<QTime> bcdTime(quint8 hoursByte, quint8 minutesByte, quint8 secondsByte) {
    const std::optional<int> hours = bcd(hoursByte);
    const std::optional<int> minutes = bcd(minutesByte);
    const std::optional<int> seconds = bcd(secondsByte);
    if (!hours || !minutes || !seconds || *hours > 23 || *minutes > 59 || *seconds > 59)
        return std::nullopt;
    return QTime(*hours, *minutes, *seconds);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray frame = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QString> text = Frames::clockTimeText(frame);
    const bool isTimeFrame = frame.size() == 9 && data[0] == 0xAA && data[1] == 0x00;
    FUZZ_CHECK(text.has_value() == isTimeFrame);
    if (!text)
        return 0;
    const std::optional<QTime> time = TimeText::parse(*text);
    const std::optional<QTime> expected = bcdTime(quint8(frame[6]), quint8(frame[7]), quint8(frame[8]));
    FUZZ_CHECK(time == expected);
    if (time) {
        const QString shown = Frames::byteText(quint8(frame[6])) + QLatin1Char(':') +
                              Frames::byteText(quint8(frame[7])) + QLatin1Char(':') +
                              Frames::byteText(quint8(frame[8]));
        FUZZ_CHECK(TimeText::format(*time) == shown);
    }
    return 0;
}
