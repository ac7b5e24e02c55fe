#pragma once

#include <QRegularExpressionMatch>
#include <QString>
#include <QStringList>

// The log file of a master clock simulator that runs outside this program
// (on the Linux side of Wine), read as it grows.
class SimLogFile {
public:
    explicit SimLogFile(QString path) : m_path(std::move(path)) {}

    // The whole lines written so far.
    QStringList lines() const;
    // Where the lines of the next step begin.
    int mark() const { return int(lines().size()); }
    // Waits for the first line from `fromLine` on that matches.
    QRegularExpressionMatch waitForLine(const QRegularExpression& pattern, int fromLine,
                                        int timeoutMs = 5000) const;

private:
    QString m_path;
};
