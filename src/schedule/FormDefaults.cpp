#include "FormDefaults.h"

#include "GroupRecord.h"
#include "TimeText.h"

GroupRows formDefaultRows() {
    const auto row = [](CheckState valid, const char* start, const char* length, const char* refresh,
                        CheckState staticFlag) {
        GroupRow r;
        r.Valid = valid;
        r.StartTime = QLatin1String(start);
        r.CountdownLength = QLatin1String(length);
        r.RefreshTime = QLatin1String(refresh);
        r.StaticFlag = staticFlag;
        r.IgnoreHours = CheckState::Clear;
        return r;
    };
    return {
        row(CheckState::Ticked, "08:00:00", "08:00:00", "07:00:00", CheckState::Ticked),
        row(CheckState::Ticked, "09:00:00", "00:30:00", "07:30:00", CheckState::Clear),
        row(CheckState::Ticked, "10:00:00", "11:00:00", "09:30:00", CheckState::Ticked),
        row(CheckState::Grey, "12:00:00", "00:30:00", "10:30:00", CheckState::Clear),
        row(CheckState::Ticked, "15:00:00", "00:30:00", "11:30:00", CheckState::Clear),
        row(CheckState::Clear, "17:00:00", "00:45:00", "20:15:00", CheckState::Clear),
        row(CheckState::Clear, "18:30:00", "01:00:00", "14:00:00", CheckState::Ticked),
        row(CheckState::Ticked, "21:00:00", "02:00:00", "16:30:00", CheckState::Clear),
    };
}

QByteArray formDefaultRecords() {
    QByteArray records;
    for (const GroupRow& row : formDefaultRows())
        records +=
            GroupRecord::encode(TimeText::toTime(row.RefreshTime), TimeText::toTime(row.CountdownLength),
                                row.Valid, row.StaticFlag, row.IgnoreHours);
    return records;
}
