#include "SettingsFile.h"

#include <QList>

namespace SettingsFile {

namespace {
constexpr int kLineCount = 1 + kGroupCount;

QByteArray toBytes(const QString& text) {
    return text.toLatin1();
}

// Lines end at CR; a LF right after it belongs to the line end. A bare LF is
// part of the line. Text after the last line end is a last line of its own.
QList<QByteArray> splitLines(const QByteArray& bytes, int wanted) {
    QList<QByteArray> lines;
    qsizetype pos = 0;
    while (pos < bytes.size() && lines.size() < wanted) {
        const qsizetype cr = bytes.indexOf('\r', pos);
        const qsizetype end = cr < 0 ? bytes.size() : cr;
        lines.append(bytes.mid(pos, end - pos));
        pos = end + 1;
        if (cr >= 0 && pos < bytes.size() && bytes[pos] == '\n')
            ++pos;
    }
    return lines;
}

CheckState letterState(const QByteArray& line, int position, char tickedLetter, char clearLetter) {
    if (line.size() < position)
        return CheckState::Grey;
    const char c = line[position - 1];
    if (c == tickedLetter)
        return CheckState::Ticked;
    if (c == clearLetter)
        return CheckState::Clear;
    return CheckState::Grey;
}

QString field(const QByteArray& line, int position, int width) {
    return QString::fromLatin1(line.mid(position - 1, width));
}

GroupRow readGroupLine(const QByteArray& line) {
    GroupRow row;
    row.Valid = letterState(line, 1, 'A', 'V');
    row.StaticFlag = letterState(line, 21, 'S', 'R');
    row.IgnoreHours = line.size() >= 23 && line[22] == 'H' ? CheckState::Ticked : CheckState::Clear;
    row.RefreshTime = field(line, 3, 8);
    row.CountdownLength = field(line, 12, 8);
    return row;
}
} // namespace

QByteArray write(int clockNumber, const GroupRows& rows) {
    QByteArray bytes = "[CLOCK" + QByteArray::number(clockNumber) + "]\r\n";
    for (const GroupRow& row : rows) {
        bytes += row.Valid != CheckState::Clear ? 'A' : 'V';
        bytes += ',' + toBytes(row.RefreshTime) + ',' + toBytes(row.CountdownLength) + ',';
        bytes += row.StaticFlag != CheckState::Clear ? 'S' : 'R';
        if (row.IgnoreHours == CheckState::Ticked)
            bytes += ",H";
        bytes += "\r\n";
    }
    return bytes;
}

Loaded read(const QByteArray& bytes) {
    Loaded loaded;
    const QList<QByteArray> lines = splitLines(bytes, kLineCount);
    loaded.linesFound = int(lines.size());
    if (lines.isEmpty()) {
        loaded.status = Loaded::Status::EndsEarly;
        return loaded;
    }
    if (lines[0] == "[CLOCK1]")
        loaded.schedule.ClockNumber = 1;
    else if (lines[0] == "[CLOCK2]")
        loaded.schedule.ClockNumber = 2;
    else {
        loaded.status = Loaded::Status::BadHeader;
        return loaded;
    }
    if (lines.size() < kLineCount) {
        loaded.status = Loaded::Status::EndsEarly;
        return loaded;
    }
    for (int i = 0; i < kGroupCount; ++i)
        loaded.schedule.rows[i] = readGroupLine(lines[i + 1]);
    return loaded;
}

} // namespace SettingsFile
