#include "FrameText.h"

#include "schedule/GroupRecord.h"

#include <QStringList>

namespace FrameText {

QString clockTime(const DeviceClock::Reading& reading) {
    return QStringLiteral("%1 weekday %2 %3")
        .arg(reading.date.toString(QStringLiteral("yyyy-MM-dd")), QString::number(reading.weekday),
             reading.time.toString(QStringLiteral("HH:mm:ss")));
}

QString groups(const QByteArray& records) {
    QStringList parts;
    for (int row = 1; row <= kGroupCount; ++row) {
        const GroupRow group =
            GroupRecord::decode(records.mid(GroupRecord::kSize * (row - 1), GroupRecord::kSize));
        QStringList words{QStringLiteral("|"), QString::number(row)};
        words << (group.Valid == CheckState::Clear ? QStringLiteral("invalid") : QStringLiteral("valid"));
        words << QStringLiteral("refresh") << group.RefreshTime << QStringLiteral("length")
              << group.CountdownLength;
        if (group.IgnoreHours == CheckState::Ticked)
            words << QStringLiteral("ignore-hours");
        if (group.StaticFlag == CheckState::Ticked)
            words << QStringLiteral("static");
        parts << words.join(QLatin1Char(' '));
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace FrameText
