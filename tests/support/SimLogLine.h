#pragma once

#include "FrameLog.h"

#include <QDateTime>
#include <QRegularExpression>
#include <optional>

// One master clock simulator log line that a LogLinePattern matched. Its
// captures are numbered as the line reads: 0 the whole line, 1 the epoch
// microseconds, 2 the bytes, then the groups of the bytes and text patterns.
struct LogLineMatch {
    QString line;
    std::optional<FrameLog::Entry> entry;
    QRegularExpressionMatch bytes;
    QRegularExpressionMatch text;

    bool hasMatch() const { return entry.has_value(); }
    QString captured(int n) const {
        if (!entry || n == 0)
            return entry ? line : QString();
        if (n <= 2)
            return n == 1 ? QString::number(entry->atUs) : entry->hex;
        const int bytesGroups = bytes.regularExpression().captureCount();
        return n - 2 <= bytesGroups ? bytes.captured(n - 2) : text.captured(n - 2 - bytesGroups);
    }
};

// A whole simulator log line as FrameLog parses it: its direction ("RX", "TX"
// or "EV") and patterns that match its bytes and its text whole.
struct LogLinePattern {
    QString direction;
    QRegularExpression bytes;
    QRegularExpression text;

    LogLineMatch match(const QString& line) const {
        const std::optional<FrameLog::Entry> entry = FrameLog::parseLine(line);
        if (!entry || FrameLog::directionText(entry->direction) != direction)
            return {};
        LogLineMatch found{line, entry, bytes.match(entry->hex), text.match(entry->text)};
        return found.bytes.hasMatch() && found.text.hasMatch() ? found : LogLineMatch{};
    }
};

inline LogLinePattern logLine(const QString& direction, const QString& bytes, const QString& text) {
    return {direction, QRegularExpression(QRegularExpression::anchoredPattern(bytes)),
            QRegularExpression(QRegularExpression::anchoredPattern(text))};
}

// The local date and time of a log line.
inline QDateTime logTime(const LogLineMatch& line) {
    return line.entry->localTime();
}
