#pragma once

#include <QDate>
#include <QFile>
#include <QObject>
#include <QStringList>

class WallClock;

// A record of every frame on the line: each line holds the local time to the
// millisecond, the direction, the port, the line speed and the bytes in
// hexadecimal (an NMEA sentence as its text). The lines of this run are kept
// in memory; each is also appended to a daily text file, of which the last
// 30 days are kept. A file that cannot be written never stops the record;
// each frame tries it again.
class FrameRecord : public QObject {
    Q_OBJECT
public:
    enum class Direction {
        Sent,     // written to the port
        Received, // read from the port
        Flushed,  // read and thrown away unlooked-at before a command
    };
    static constexpr int kKeptDays = 30;
    static constexpr int kKeptLines = 10000;

    // `folder`: where the daily files go; empty keeps the record in memory only.
    FrameRecord(const WallClock& clock, const QString& folder, QObject* parent = nullptr);

    void add(Direction direction, const QString& port, int baudRate, const QByteArray& bytes);
    // What happened to the line that is no frame ("lost", "opened"), in the
    // frames' places: "... lost     rfc2217://clock:2217 9600 <why>".
    void addEvent(const QString& event, const QString& port, int baudRate, const QString& text);

    // The lines of this run, oldest first, at most kKeptLines.
    const QStringList& lines() const { return m_lines; }

    // "2024-03-05 09:07:45.002 sent     Com16 9600 AA 00 24 03 05 02 09 07 45"
    static QString line(const QDateTime& at, Direction direction, const QString& port, int baudRate,
                        const QByteArray& bytes);
    // The daily file of `day` in `folder`: frames-yyyy-MM-dd.txt.
    static QString fileOf(const QString& folder, const QDate& day);

signals:
    void added(const QString& line);
    // The daily file cannot be written; emitted once until it is written again.
    void fileFailed(const QString& reason);
    // A line reached the daily file again after fileFailed().
    void fileWrittenAgain();

private:
    void addLine(const QDateTime& at, const QString& text);
    void append(const QDate& day, const QString& line);
    bool openDay(const QDate& day);
    void removeOldFiles(const QDate& today);
    void fail(const QString& reason);

    const WallClock& m_clock;
    QString m_folder;
    QStringList m_lines;
    QFile m_file;
    QDate m_fileDay;
    bool m_failing = false; // since the last fileFailed(), nothing reached the file
};
