#include "TimeWindow.h"

#include "schedule/TimeText.h"

#include <QStringList>

std::optional<TimeWindow> TimeWindow::parse(const QString& text) {
    const QStringList ends = text.split(QLatin1Char('-'));
    if (ends.size() != 2)
        return std::nullopt;
    const std::optional<QTime> start = TimeText::parse(ends.first());
    const std::optional<QTime> end = TimeText::parse(ends.last());
    if (!start || !end || *start == *end)
        return std::nullopt;
    return TimeWindow{*start, *end};
}

bool TimeWindow::contains(const QTime& time) const {
    if (start < end)
        return start <= time && time < end;
    return end < start && (start <= time || time < end);
}

QString TimeWindow::text() const {
    const auto hoursAndMinutes = [](const QTime& time) {
        return time.second() == 0 ? time.toString(QStringLiteral("HH:mm")) : TimeText::format(time);
    };
    return hoursAndMinutes(start) + QLatin1Char('-') + hoursAndMinutes(end);
}
