#include "TimeText.h"

#include "common/RuntimeError.h"

#include <QDate>
#include <QRegularExpression>
#include <QStringList>

namespace TimeText {

namespace {
constexpr int kSecondsPerDay = 24 * 60 * 60;

QTime fromSeconds(int seconds) {
    return QTime(0, 0).addSecs(((seconds % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay);
}
} // namespace

std::optional<QTime> parse(const QString& text) {
    static const QRegularExpression blanks(QStringLiteral(R"(\s+)"));
    static const QRegularExpression datePattern(
        QStringLiteral(R"(^([0-9]{4})([-/])([0-9]{1,2})\2([0-9]{1,2})$)"));
    static const QRegularExpression timePattern(
        QStringLiteral(R"(^([0-9]{1,2}):([0-9]{1,2})(?::([0-9]{1,2}))?$)"));

    QStringList parts = text.split(blanks, Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.size() > 2)
        return std::nullopt;
    const QRegularExpressionMatch date = datePattern.match(parts.first());
    if (date.hasMatch()) {
        if (!QDate(date.captured(1).toInt(), date.captured(3).toInt(), date.captured(4).toInt()).isValid())
            return std::nullopt;
        parts.removeFirst();
        if (parts.isEmpty())
            return QTime(0, 0); // a date alone is its midnight
    }
    if (parts.size() != 1)
        return std::nullopt;
    const QRegularExpressionMatch time = timePattern.match(parts.first());
    if (!time.hasMatch())
        return std::nullopt;
    const int hours = time.captured(1).toInt();
    const int minutes = time.captured(2).toInt();
    const int seconds = time.capturedLength(3) > 0 ? time.captured(3).toInt() : 0;
    if (hours > 23 || minutes > 59 || seconds > 59)
        return std::nullopt;
    return QTime(hours, minutes, seconds);
}

QTime toTime(const QString& text) {
    const std::optional<QTime> time = parse(text);
    if (!time)
        throw RuntimeError(ErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
    return *time;
}

std::optional<QTime> parseTimeOfDay(const QString& text) {
    static const QRegularExpression exact(QStringLiteral(R"(^[0-9]{2}:[0-9]{2}:[0-9]{2}$)"));
    if (!exact.match(text).hasMatch())
        return std::nullopt;
    const QTime time(text.left(2).toInt(), text.mid(3, 2).toInt(), text.mid(6, 2).toInt());
    return time.isValid() ? std::optional(time) : std::nullopt;
}

QString format(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QTime add(const QTime& a, const QTime& b) {
    return fromSeconds(a.msecsSinceStartOfDay() / 1000 + b.msecsSinceStartOfDay() / 1000);
}

QTime subtract(const QTime& a, const QTime& b) {
    return fromSeconds(a.msecsSinceStartOfDay() / 1000 - b.msecsSinceStartOfDay() / 1000);
}

QTime remainingUntil(const QTime& start, const QTime& now) {
    return subtract(start, QTime(now.hour(), now.minute(), now.second()));
}

} // namespace TimeText
