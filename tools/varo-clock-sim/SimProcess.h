#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <functional>

// The simulator as a child process: started with the given options, its
// device taken from the first line, its log collected line by line (FrameLog
// parses each line).
class SimProcess {
public:
    // The simulator built with this project unless `program` names another.
    explicit SimProcess(QString program = builtProgram());
    ~SimProcess();

    static QString builtProgram();

    // Starts the simulator and waits for its DEVICE line.
    bool start(const QStringList& arguments, int timeoutMs = 5000);
    QString device() const { return m_device; }
    qint64 pid() const { return m_process.processId(); }

    // Waits for a log line that `matches`, looking at every line so far from
    // line number `fromLine` on (0 is the DEVICE line); its number, or -1 when
    // none came within `timeoutMs`.
    int waitForLineWhere(const std::function<bool(const QString&)>& matches, int timeoutMs = 5000,
                         int fromLine = 0);
    // The same for a line that `pattern` matches: a QRegularExpression, or any
    // pattern whose match(line) has hasMatch(). Its match; no match on timeout.
    template <typename Pattern>
    auto waitForLine(const Pattern& pattern, int timeoutMs = 5000, int fromLine = 0) {
        const int number = waitForLineWhere(
            [&pattern](const QString& line) { return pattern.match(line).hasMatch(); }, timeoutMs, fromLine);
        return number < 0 ? decltype(pattern.match(QString())){} : pattern.match(m_lines.at(number));
    }
    template <typename Pattern> QStringList linesMatching(const Pattern& pattern, int fromLine = 0) const {
        QStringList matching;
        for (int i = fromLine; i < m_lines.size(); ++i)
            if (pattern.match(m_lines.at(i)).hasMatch())
                matching << m_lines.at(i);
        return matching;
    }
    // Every log line so far; its size marks where the lines of a later step begin.
    const QStringList& lines();

    // Waits for the process to end; the exit code, or -1 for a crash or timeout.
    int waitForExit(int timeoutMs = 5000);
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    QString standardError();

private:
    void takeOutput();

    QString m_program;
    QProcess m_process;
    QStringList m_lines;
    QByteArray m_partialLine;
    QString m_device;
};
