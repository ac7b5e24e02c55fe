#pragma once

#include <QString>
#include <QTime>
#include <optional>

// The hours of the day in which something may happen, from `start` up to
// (not including) `end` by the computer's local time; a window whose end comes
// before its start runs over midnight, and one whose end is its start holds
// no time at all.
struct TimeWindow {
    QTime start;
    QTime end;

    // "HH:MM-HH:MM" ("22:30-02:00"), each time as the window's time fields
    // take it; nothing for another text, or for two equal ends.
    static std::optional<TimeWindow> parse(const QString& text);

    bool contains(const QTime& time) const;
    // "22:30-02:00".
    QString text() const;
};
