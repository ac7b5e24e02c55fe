#include "FrameText.h"

#include "ClockProtocol.h"
#include "FrameLog.h"

#include <QStringList>

namespace FrameText {

namespace {
constexpr quint8 kFlagBit = 0x40; // invalid (refresh hours) or static (length hours)
constexpr quint8 kTimeBits = 0x3F;
constexpr quint8 kIgnoreHours = 0x33; // refresh hours that stand for "any hour"

// Three bytes as "hh:mm:ss", each in hexadecimal as it travels (BCD or not).
QString hexTime(quint8 hours, quint8 minutes, quint8 seconds) {
    QStringList parts;
    for (const quint8 byte : {hours, minutes, seconds})
        parts << FrameLog::hexText(QByteArray(1, char(byte)));
    return parts.join(QLatin1Char(':'));
}

// "| 1 valid refresh 07:00:00 length 08:00:00 static" for one 6-byte record.
QString group(int row, const QByteArray& record) {
    const auto byte = [&record](int i) {
        return quint8(record.at(i));
    };
    const bool ignoreHours = (byte(0) & kTimeBits) == kIgnoreHours;
    QStringList words{QStringLiteral("|"), QString::number(row)};
    words << ((byte(0) & kFlagBit) ? QStringLiteral("invalid") : QStringLiteral("valid"));
    words << QStringLiteral("refresh") << hexTime(ignoreHours ? 0 : byte(0) & kTimeBits, byte(1), byte(2));
    words << QStringLiteral("length") << hexTime(byte(3) & kTimeBits, byte(4), byte(5));
    if (ignoreHours)
        words << QStringLiteral("ignore-hours");
    if (byte(3) & kFlagBit)
        words << QStringLiteral("static");
    return words.join(QLatin1Char(' '));
}
} // namespace

QString clockTime(const DeviceClock::Reading& reading) {
    return QStringLiteral("%1 weekday %2 %3")
        .arg(reading.date.toString(QStringLiteral("yyyy-MM-dd")), QString::number(reading.weekday),
             reading.time.toString(QStringLiteral("HH:mm:ss")));
}

QString groups(const QByteArray& records) {
    QStringList parts;
    for (int row = 1; row <= ClockProtocol::kGroupCount; ++row)
        parts << group(row, records.mid(ClockProtocol::kRecordSize * (row - 1), ClockProtocol::kRecordSize));
    return parts.join(QLatin1Char(' '));
}

} // namespace FrameText
