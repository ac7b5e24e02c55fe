#pragma once

#include <QString>
#include <array>

// A check box's state as the schedule distinguishes it.
enum class CheckState { Clear = 0, Ticked = 1, Grey = 2 };

// One countdown group as the window shows it. StartTime is derived from the
// other fields and is never sent or saved.
struct GroupRow {
    CheckState Valid = CheckState::Ticked;
    QString StartTime;
    QString CountdownLength; // for a static row: the start time itself
    QString RefreshTime;
    CheckState StaticFlag = CheckState::Clear;
    CheckState IgnoreHours = CheckState::Clear;

    bool operator==(const GroupRow& other) const;
};

constexpr int kGroupCount = 8;
using GroupRows = std::array<GroupRow, kGroupCount>;

// The eight groups of one countdown clock; ClockNumber is 1 or 2.
struct ClockSchedule {
    int ClockNumber = 1;
    GroupRows rows;
};
