#include "FrameRecord.h"

#include "Frames.h"
#include "WallClock.h"

#include <QDir>
#include <QRegularExpression>
#include <algorithm>
#include <utility>

namespace {
const char* directionText(FrameRecord::Direction direction) {
    switch (direction) {
    case FrameRecord::Direction::Sent:
        return "sent";
    case FrameRecord::Direction::Received:
        return "received";
    case FrameRecord::Direction::Flushed:
        return "flushed";
    }
    return "";
}

// An NMEA sentence, "$...*hh" CR LF of printable characters, reads best as its text.
bool isSentence(const QByteArray& bytes) {
    if (!bytes.startsWith('$'))
        return false;
    const QByteArray body = bytes.endsWith("\r\n") ? bytes.chopped(2) : bytes;
    return std::all_of(body.cbegin(), body.cend(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

QString bytesText(const QByteArray& bytes) {
    if (isSentence(bytes))
        return QString::fromLatin1(bytes.endsWith("\r\n") ? bytes.chopped(2) : bytes);
    QStringList pairs;
    for (char byte : bytes)
        pairs << Frames::byteText(quint8(byte));
    return pairs.join(QLatin1Char(' '));
}

const QString kFilePattern = QStringLiteral("frames-%1.txt");

// "2024-03-05 09:07:45.002 sent     Com16 9600 <text>".
QString lineOf(const QDateTime& at, const QString& kind, const QString& port, int baudRate,
               const QString& text) {
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")), kind.leftJustified(8), port,
             QString::number(baudRate), text);
}
} // namespace

FrameRecord::FrameRecord(const WallClock& clock, const QString& folder, QObject* parent)
    : QObject(parent), m_clock(clock), m_folder(folder) {}

QString FrameRecord::line(const QDateTime& at, Direction direction, const QString& port, int baudRate,
                          const QByteArray& bytes) {
    return lineOf(at, QLatin1String(directionText(direction)), port, baudRate, bytesText(bytes));
}

QString FrameRecord::fileOf(const QString& folder, const QDate& day) {
    return QDir(folder).filePath(kFilePattern.arg(day.toString(Qt::ISODate)));
}

void FrameRecord::add(Direction direction, const QString& port, int baudRate, const QByteArray& bytes) {
    const QDateTime at = m_clock.now();
    addLine(at, line(at, direction, port, baudRate, bytes));
}

void FrameRecord::addEvent(const QString& event, const QString& port, int baudRate, const QString& text) {
    const QDateTime at = m_clock.now();
    addLine(at, lineOf(at, event, port, baudRate, text));
}

void FrameRecord::addLine(const QDateTime& at, const QString& text) {
    m_lines << text;
    if (m_lines.size() > kKeptLines)
        m_lines.removeFirst();
    if (!m_folder.isEmpty())
        append(at.date(), text);
    emit added(text);
}

void FrameRecord::append(const QDate& day, const QString& line) {
    if ((m_fileDay != day || !m_file.isOpen()) && !openDay(day))
        return;
    // Flushed at once, so that the file holds every frame even if the program is killed.
    const QByteArray bytes = line.toUtf8() + '\n';
    if (m_file.write(bytes) != bytes.size() || !m_file.flush()) {
        fail(m_file.fileName() + QStringLiteral(": ") + m_file.errorString());
        m_file.close();
        return;
    }
    if (std::exchange(m_failing, false))
        emit fileWrittenAgain();
}

bool FrameRecord::openDay(const QDate& day) {
    m_file.close();
    m_fileDay = day;
    if (!QDir().mkpath(m_folder)) {
        fail(m_folder + QStringLiteral(": the folder cannot be made"));
        return false;
    }
    m_file.setFileName(fileOf(m_folder, day));
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        fail(m_file.fileName() + QStringLiteral(": ") + m_file.errorString());
        return false;
    }
    removeOldFiles(day);
    return true;
}

void FrameRecord::removeOldFiles(const QDate& today) {
    static const QRegularExpression name(QStringLiteral("^frames-(\\d{4}-\\d\\d-\\d\\d)\\.txt$"));
    const QDate oldestKept = today.addDays(1 - kKeptDays);
    QDir folder(m_folder);
    for (const QString& file : folder.entryList({QStringLiteral("frames-*.txt")}, QDir::Files)) {
        const QRegularExpressionMatch match = name.match(file);
        const QDate day = match.hasMatch() ? QDate::fromString(match.captured(1), Qt::ISODate) : QDate();
        if (day.isValid() && day < oldestKept)
            folder.remove(file);
    }
}

void FrameRecord::fail(const QString& reason) {
    if (!std::exchange(m_failing, true))
        emit fileFailed(reason);
}
