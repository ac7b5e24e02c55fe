#include "GroupRow.h"

bool GroupRow::operator==(const GroupRow& other) const {
    return Valid == other.Valid && StartTime == other.StartTime && CountdownLength == other.CountdownLength &&
           RefreshTime == other.RefreshTime && StaticFlag == other.StaticFlag &&
           IgnoreHours == other.IgnoreHours;
}
