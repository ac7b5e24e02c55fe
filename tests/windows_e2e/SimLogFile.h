#pragma once

#include <QString>
#include <QStringList>
#include <QTest>

// The log file of a master clock simulator that runs outside this program
// (on the Linux side of Wine), read as it grows.
class SimLogFile {
public:
    explicit SimLogFile(QString path) : m_path(std::move(path)) {}

    // The whole lines written so far.
    QStringList lines() const;
    // Where the lines of the next step begin.
    int mark() const { return int(lines().size()); }
    // Waits for the first line from `fromLine` on that `pattern` (a
    // LogLinePattern or a QRegularExpression) matches; its match.
    template <typename Pattern>
    auto waitForLine(const Pattern& pattern, int fromLine, int timeoutMs = 5000) const {
        decltype(pattern.match(QString())) found;
        // `found` says whether the wait succeeded.
        (void)QTest::qWaitFor(
            [&] {
                const QStringList all = lines();
                for (int i = fromLine; i < all.size(); ++i)
                    if ((found = pattern.match(all[i])).hasMatch())
                        return true;
                return false;
            },
            timeoutMs);
        return found;
    }

private:
    QString m_path;
};
