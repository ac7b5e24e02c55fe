// The settings file reader, and the file written from what it read: read
// again, it gives the same clock and, when every time text is eight
// characters, the same rows.
#include "FuzzCheck.h"
#include "settings_file/SettingsFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {
bool fixedWidthTexts(const GroupRows& rows) {
    return std::all_of(rows.begin(), rows.end(), [](const GroupRow& row) {
        return row.RefreshTime.size() == 8 && row.CountdownLength.size() == 8;
    });
}

// A grey Valid or StaticFlag box is written as ticked.
GroupRows asWritten(GroupRows rows) {
    for (GroupRow& row : rows) {
        if (row.Valid == CheckState::Grey)
            row.Valid = CheckState::Ticked;
        if (row.StaticFlag == CheckState::Grey)
            row.StaticFlag = CheckState::Ticked;
    }
    return rows;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const SettingsFile::Loaded loaded = SettingsFile::read(bytes);
    FUZZ_CHECK(loaded.linesFound >= 0 && loaded.linesFound <= 1 + kGroupCount);
    if (loaded.status == SettingsFile::Loaded::Status::EndsEarly)
        FUZZ_CHECK(loaded.linesFound < 1 + kGroupCount);
    if (loaded.status != SettingsFile::Loaded::Status::Ok)
        return 0;
    const ClockSchedule& schedule = loaded.schedule;
    FUZZ_CHECK(schedule.ClockNumber == 1 || schedule.ClockNumber == 2);
    FUZZ_CHECK(bytes.startsWith("[CLOCK" + QByteArray::number(schedule.ClockNumber) + "]"));

    const QByteArray written = SettingsFile::write(schedule.ClockNumber, schedule.rows);
    const SettingsFile::Loaded reread = SettingsFile::read(written);
    FUZZ_CHECK(reread.status == SettingsFile::Loaded::Status::Ok);
    FUZZ_CHECK(reread.schedule.ClockNumber == schedule.ClockNumber);
    if (fixedWidthTexts(schedule.rows)) {
        FUZZ_CHECK(reread.schedule.rows == asWritten(schedule.rows));
        FUZZ_CHECK(SettingsFile::write(reread.schedule.ClockNumber, reread.schedule.rows) == written);
    }
    return 0;
}
