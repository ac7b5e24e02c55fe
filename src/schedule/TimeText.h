#pragma once

#include <QString>
#include <QTime>
#include <optional>

// Time-of-day texts as the operator types them and as the window shows them.
// Every command and rule that turns a text into a time goes through parse().
namespace TimeText {

// Accepts "h:m:s" or "h:m" (one or two digits per field, hours 0-23, minutes
// and seconds 0-59), optionally after a date "yyyy-m-d" or "yyyy/m/d" and a
// blank; a date alone means 00:00:00. Blanks around are ignored.
std::optional<QTime> parse(const QString& text);

// As parse(), but a text that does not convert raises error 13 "Type mismatch".
QTime toTime(const QString& text);

// A time of day as a caller outside the window gives it: exactly "HH:MM:SS",
// two digits each, hours 00-23; no date, no blanks, no shorter form. The
// command line and the service take times through it alone.
std::optional<QTime> parseTimeOfDay(const QString& text);

// "hh:nn:ss": two digits each, 24-hour clock.
QString format(const QTime& time);

// Sum and difference of times of day, wrapping modulo 24 hours.
QTime add(const QTime& a, const QTime& b);
QTime subtract(const QTime& a, const QTime& b);

// The whole seconds from the time of day `now`, its fraction dropped, to the
// next `start`: the remaining time a temporary countdown sends.
QTime remainingUntil(const QTime& start, const QTime& now);

} // namespace TimeText
