#pragma once

#include "FrameLog.h"

#include <QDateTime>
#include <QRegularExpression>
#include <optional>

// One master clock simulator log line that a LogLinePattern matched. Its
// captures are numbered in the order the line reads: 0 the whole line, 1 the
// epoch microseconds, 2 the bytes in hexadecimal, then the groups of the
// bytes pattern and those of the text pattern.
class LogLineMatch {
public:
    LogLineMatch() = default;
    LogLineMatch(QString line, FrameLog::Entry entry, QRegularExpressionMatch bytes,
                 QRegularExpressionMatch text)
        : m_line(std::move(line)), m_entry(std::move(entry)), m_bytes(std::move(bytes)),
          m_text(std::move(text)) {}

    bool hasMatch() const { return m_entry.has_value(); }
    const FrameLog::Entry& entry() const { return *m_entry; }

    QString captured(int n) const {
        if (!m_entry)
            return {};
        if (n == 0)
            return m_line;
        if (n == 1)
            return QString::number(m_entry->atUs);
        if (n == 2)
            return m_entry->hex;
        const int bytesGroups = m_bytes.regularExpression().captureCount();
        return n - 2 <= bytesGroups ? m_bytes.captured(n - 2) : m_text.captured(n - 2 - bytesGroups);
    }

private:
    QString m_line;
    std::optional<FrameLog::Entry> m_entry;
    QRegularExpressionMatch m_bytes;
    QRegularExpressionMatch m_text;
};

// A pattern for one whole simulator log line as FrameLog parses it: its
// direction ("RX", "TX" or "EV") and two regular expressions, one for the
// bytes in hexadecimal and one for the text, each matching its field whole.
class LogLinePattern {
public:
    LogLinePattern(QString direction, const QString& bytes, const QString& text)
        : m_direction(std::move(direction)), m_bytes(QRegularExpression::anchoredPattern(bytes)),
          m_text(QRegularExpression::anchoredPattern(text)) {}

    LogLineMatch match(const QString& line) const {
        const std::optional<FrameLog::Entry> entry = FrameLog::parseLine(line);
        if (!entry || FrameLog::directionText(entry->direction) != m_direction)
            return {};
        QRegularExpressionMatch bytes = m_bytes.match(entry->hex);
        QRegularExpressionMatch text = m_text.match(entry->text);
        if (!bytes.hasMatch() || !text.hasMatch())
            return {};
        return {line, *entry, std::move(bytes), std::move(text)};
    }

private:
    QString m_direction;
    QRegularExpression m_bytes;
    QRegularExpression m_text;
};

inline LogLinePattern logLine(const QString& direction, const QString& bytes, const QString& text) {
    return {direction, bytes, text};
}

// The local date and time of a log line.
inline QDateTime logTime(const LogLineMatch& line) {
    return line.entry().localTime();
}
