#include "GroupRecord.h"

#include "TimeText.h"
#include "protocol/Frames.h"

namespace GroupRecord {

namespace {
constexpr quint8 kIgnoreHoursCode = 0x33;
constexpr quint8 kFlagBit = 0x40; // invalid (refresh hours) or static (length hours)
constexpr quint8 kTimeBits = 0x3F;

char bcd(int value) {
    return char((value / 10) * 16 + value % 10);
}

QString timeText(quint8 hours, quint8 minutes, quint8 seconds) {
    return Frames::byteText(hours) + QLatin1Char(':') + Frames::byteText(minutes) + QLatin1Char(':') +
           Frames::byteText(seconds);
}
} // namespace

QByteArray encode(const QTime& refresh, const QTime& length, CheckState valid, CheckState staticFlag,
                  CheckState ignoreHours) {
    QByteArray record(kSize, '\0');
    record[0] = bcd(refresh.hour());
    record[1] = bcd(refresh.minute());
    record[2] = bcd(refresh.second());
    record[3] = bcd(length.hour());
    record[4] = bcd(length.minute());
    record[5] = bcd(length.second());
    // The flag rules apply in this order; grey counts as ticked for Valid and
    // StaticFlag but not for IgnoreHours.
    if (ignoreHours == CheckState::Ticked)
        record[0] = char(kIgnoreHoursCode);
    if (valid == CheckState::Clear)
        record[0] = char(quint8(record[0]) + kFlagBit);
    if (staticFlag != CheckState::Clear)
        record[3] = char(quint8(record[3]) + kFlagBit);
    return record;
}

QByteArray encodeRows(const GroupRows& rows) {
    QByteArray records;
    for (const GroupRow& row : rows)
        records += encode(TimeText::toTime(row.RefreshTime), TimeText::toTime(row.CountdownLength), row.Valid,
                          row.StaticFlag, row.IgnoreHours);
    return records;
}

GroupRow decode(const QByteArray& record) {
    Q_ASSERT(record.size() >= kSize);
    const auto byte = [&record](int i) {
        return quint8(record[i]);
    };
    GroupRow row;
    row.Valid = (byte(0) & kFlagBit) ? CheckState::Clear : CheckState::Ticked;
    if ((byte(0) & kTimeBits) == kIgnoreHoursCode) {
        row.RefreshTime = timeText(0, byte(1), byte(2));
        row.IgnoreHours = CheckState::Ticked;
    } else {
        row.RefreshTime = timeText(byte(0) & kTimeBits, byte(1), byte(2));
        row.IgnoreHours = CheckState::Clear;
    }
    row.StaticFlag = (byte(3) & kFlagBit) ? CheckState::Ticked : CheckState::Clear;
    row.CountdownLength = timeText(byte(3) & kTimeBits, byte(4), byte(5));
    return row;
}

} // namespace GroupRecord
