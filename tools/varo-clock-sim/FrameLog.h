#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The simulator's record of the line, one line per frame or event on stdout
// (and in the log file when one is given), flushed at once so a reader sees
// each line as it happens:
//   HH:MM:SS.uuuuuu t=<epoch microseconds> <RX|TX|EV> <hex bytes|-> <text>
class FrameLog {
public:
    enum class Direction { Received, Sent, Event };

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

private:
    void write(const QString& line);

    QFile m_file;
};
