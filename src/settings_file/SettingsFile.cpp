#include "SettingsFile.h"

#include <QList>

namespace SettingsFile {

namespace {
QByteArray toBytes(const QString& text) {
    return text.toLatin1();
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
    row.Valid = letterState(line, Column::Valid, 'A', 'V');
    row.StaticFlag = letterState(line, Column::StaticFlag, 'S', 'R');
    // Only the H counts, not the comma before it.
    row.IgnoreHours = line.size() > Column::IgnoreHours && line[Column::IgnoreHours] == 'H'
                          ? CheckState::Ticked
                          : CheckState::Clear;
    row.RefreshTime = field(line, Column::RefreshTime, Column::TimeWidth);
    row.CountdownLength = field(line, Column::CountdownLength, Column::TimeWidth);
    return row;
}
} // namespace

QList<QByteArray> lines(const QByteArray& bytes, int wanted) {
    QList<QByteArray> found;
    qsizetype pos = 0;
    while (pos < bytes.size() && found.size() < wanted) {
        const qsizetype cr = bytes.indexOf('\r', pos);
        const qsizetype end = cr < 0 ? bytes.size() : cr;
        found.append(bytes.mid(pos, end - pos));
        pos = end + 1;
        if (cr >= 0 && pos < bytes.size() && bytes[pos] == '\n')
            ++pos;
    }
    return found;
}

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
    const QList<QByteArray> fileLines = lines(bytes);
    loaded.linesFound = int(fileLines.size());
    if (fileLines.isEmpty()) {
        loaded.status = Loaded::Status::EndsEarly;
        return loaded;
    }
    if (fileLines[0] == "[CLOCK1]")
        loaded.schedule.ClockNumber = 1;
    else if (fileLines[0] == "[CLOCK2]")
        loaded.schedule.ClockNumber = 2;
    else {
        loaded.status = Loaded::Status::BadHeader;
        return loaded;
    }
    if (fileLines.size() < kLineCount) {
        loaded.status = Loaded::Status::EndsEarly;
        return loaded;
    }
    for (int i = 0; i < kGroupCount; ++i)
        loaded.schedule.rows[i] = readGroupLine(fileLines[i + 1]);
    return loaded;
}

} // namespace SettingsFile
