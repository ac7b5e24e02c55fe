#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <optional>

// The simulator's record of the line, one line per frame or event on stdout
// (and in the log file when one is given), flushed at once so a reader sees
// each line as it happens:
//   HH:MM:SS.uuuuuu t=<epoch microseconds> <RX|TX|EV> <hex bytes|-> <text>
// Whoever reads the log back (the tests, the benchmark) parses it here too.
class FrameLog {
public:
    enum class Direction { Received, Sent, Event };

    // One frame or event line, read back.
    struct Entry {
        qint64 atUs = 0; // epoch microseconds
        Direction direction = Direction::Event;
        QString hex; // the bytes as logged; empty for none
        QString text;

        QDateTime localTime() const;
        QByteArray bytes() const;
    };

    // An empty path logs to stdout only.
    explicit FrameLog(const QString& filePath);

    // False when a log file was asked for and could not be opened.
    bool isOpen() const;
    QString errorString() const;

    // The first line of every run: "DEVICE <path>", the device to connect to.
    void device(const QString& path);

    void frame(qint64 atUs, Direction direction, const QByteArray& bytes, const QString& text);
    void event(qint64 atUs, const QString& text);

    static QString formatLine(qint64 atUs, Direction direction, const QByteArray& bytes, const QString& text);
    // Nothing for a line that is not a frame or event line.
    static std::optional<Entry> parseLine(const QString& line);
    // The device a DEVICE line names; nothing for any other line.
    static std::optional<QString> parseDevice(const QString& line);

    // "RX", "TX" or "EV".
    static QString directionText(Direction direction);
    // Bytes as the log shows them: upper-case hexadecimal without separators.
    static QString hexText(const QByteArray& bytes);

private:
    void write(const QString& line);

    QFile m_file;
};
