#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The log file of a master clock simulator that runs outside this program
// (on the Linux side of Wine), read as it grows.
class SimLogFile {
public:
    explicit SimLogFile(QString path) : m_path(std::move(path)) {}

    // The whole lines written so far.
    QStringList lines() const;
    // Where the lines of the next step begin.
    int mark() const { return int(lines().size()); }
    // Waits for the first line from `fromLine` on that `matches`; the line,
    // or nothing when none came within `timeoutMs`.
    std::optional<QString> waitForLineWhere(const std::function<bool(const QString&)>& matches, int fromLine,
                                            int timeoutMs = 5000) const;
    // The same for a line that `pattern` matches (a LogLinePattern or a
    // QRegularExpression); its match, or no match on timeout.
    template <typename Pattern>
    auto waitForLine(const Pattern& pattern, int fromLine, int timeoutMs = 5000) const {
        const std::optional<QString> line = waitForLineWhere(
            [&pattern](const QString& text) { return pattern.match(text).hasMatch(); }, fromLine, timeoutMs);
        return line ? pattern.match(*line) : decltype(pattern.match(QString())){};
    }

private:
    QString m_path;
};
