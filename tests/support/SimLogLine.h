#pragma once

#include <QDateTime>
#include <QRegularExpression>

// A pattern for one whole master clock simulator log line,
// "HH:MM:SS.uuuuuu t=<epoch microseconds> <direction> <bytes> <text>":
// capture 1 is the epoch microseconds, capture 2 the bytes in hexadecimal,
// and the groups of `bytes` and `text` follow.
inline QRegularExpression logLine(const QString& direction, const QString& bytes, const QString& text) {
    return QRegularExpression(
        QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{6} t=(\\d+) %1 (%2) %3$").arg(direction, bytes, text));
}

// The local date and time of a log line's epoch microseconds.
inline QDateTime logTime(const QRegularExpressionMatch& line) {
    return QDateTime::fromMSecsSinceEpoch(line.captured(1).toLongLong() / 1000);
}
