// The master clock's settings reply (BB B1/B2) and write reply (CC C1/C2) as
// the window decodes them: bytes 0 and 1 name the clock, then eight group
// records become rows. Rows whose texts are times are encoded again.
#include "FuzzCheck.h"
#include "protocol/Frames.h"
#include "schedule/GroupRecord.h"
#include "schedule/TimeText.h"

#include <cstddef>
#include <cstdint>

namespace {
// Bit 7 of both hour bytes is ignored when read and never written.
QByteArray withoutIgnoredBits(QByteArray record) {
    record[0] = char(quint8(record[0]) & 0x7F);
    record[3] = char(quint8(record[3]) & 0x7F);
    return record;
}

void decodeRows(const QByteArray& answer, int clockIndex) {
    QByteArray records;
    for (int row = 1; row <= kGroupCount; ++row) {
        const QByteArray record = answer.mid(GroupRecord::offsetOfRow(row), GroupRecord::kSize);
        const GroupRow decoded = GroupRecord::decode(record);
        FUZZ_CHECK(decoded.RefreshTime.size() == 8 && decoded.CountdownLength.size() == 8);
        const std::optional<QTime> refresh = TimeText::parse(decoded.RefreshTime);
        const std::optional<QTime> length = TimeText::parse(decoded.CountdownLength);
        if (!refresh || !length)
            continue;
        const QByteArray encoded =
            GroupRecord::encode(*refresh, *length, decoded.Valid, decoded.StaticFlag, decoded.IgnoreHours);
        FUZZ_CHECK(encoded == withoutIgnoredBits(record));
        FUZZ_CHECK(GroupRecord::decode(encoded) == decoded);
        records += encoded;
    }
    if (records.size() != Frames::Length::Settings - GroupRecord::kFirstOffset)
        return;
    // A reply of valid times can be written back as it stands.
    const QByteArray frame = Frames::writeFrame(clockIndex, records);
    FUZZ_CHECK(frame.size() == Frames::Length::Settings);
    const auto [firstLine, secondLine] = Frames::writeFrameLines(frame);
    FUZZ_CHECK(firstLine.size() == 56 && secondLine.size() == 51);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Raw data: a read past the input's end is caught, not padded by a copy.
    const QByteArray answer = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::pair<quint8, quint8> replies[] = {
        {Frames::Code::ReadSettings, Frames::ClockBase::SettingsReply},
        {Frames::Code::WriteSettings, Frames::ClockBase::WriteReply},
    };
    for (const auto& [command, base] : replies) {
        const std::optional<int> clockIndex = Frames::answeredClockIndex(answer, command, base);
        if (!clockIndex)
            continue;
        FUZZ_CHECK(*clockIndex == quint8(answer[1]) - base - 1);
        FUZZ_CHECK(*clockIndex == 0 || *clockIndex == 1);
        // A cut reply is refused before any row is decoded.
        if (answer.size() >= Frames::Length::Settings)
            decodeRows(answer, *clockIndex);
    }
    return 0;
}
