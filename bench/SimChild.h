#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <optional>

// One simulator log line: `HH:MM:SS.uuuuuu t=<epoch us> <RX|TX|EV> <HEX|-> <text>`.
struct SimLogLine {
    qint64 atUs = 0;
    QString direction;
    QString hex;
    QString text;
};

// The master clock simulator as a child process on its own pseudo-terminal.
// Its log is collected as it comes; a cursor walks forward through it, so each
// step finds the lines that came after the previous step's.
class SimChild {
public:
    explicit SimChild(QString program) : m_program(std::move(program)) {}
    ~SimChild();

    // Starts the simulator and waits for its DEVICE line.
    bool start(const QStringList& options, QString* error);
    QString device() const { return m_device; }

    // The next line after the cursor whose direction and hex start match;
    // lines skipped on the way are passed over for good.
    std::optional<SimLogLine> next(const QString& direction, const QString& hexPrefix, int timeoutMs);

private:
    void takeOutput();

    QString m_program;
    QProcess m_process;
    QStringList m_lines;
    qsizetype m_cursor = 0;
    QByteArray m_partialLine;
    QString m_device;
};
