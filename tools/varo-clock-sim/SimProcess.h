#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

// The simulator as a child process: started with the given options, its
// device taken from the first line, its log collected line by line.
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

    // Waits for a log line matching `pattern`, looking at every line so far
    // from line number `fromLine` on (0 is the DEVICE line).
    // `lineNumber`, when given, receives the matching line's number.
    QRegularExpressionMatch waitForLine(const QRegularExpression& pattern, int timeoutMs = 5000,
                                        int fromLine = 0, int* lineNumber = nullptr);
    QStringList linesMatching(const QRegularExpression& pattern, int fromLine = 0) const;
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

// The epoch microseconds of a log line ("t=<n>").
qint64 logTimeUs(const QString& line);
