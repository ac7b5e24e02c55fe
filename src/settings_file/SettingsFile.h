#pragma once

#include "schedule/GroupRow.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The settings file of one countdown clock: nine CR LF lines, a header
// "[CLOCK1]" or "[CLOCK2]" and one line per group at fixed character
// positions, "A,07:00:00,08:00:00,S" with ",H" appended for "ignore hours".
// One byte per character.
namespace SettingsFile {

// The program's own messages about settings files.
inline const QString kCannotLoad = QStringLiteral("设置无法装载");         // header names no clock
inline const QString kChooseFile = QStringLiteral("请选择一个装载文件！"); // nothing to load from
inline const QString kNoFileName = QStringLiteral("缺少一个装载文件名！"); // nothing to save to

// Where a group line holds its fields, counted from 1; each time is eight
// characters, "hh:nn:ss".
namespace Column {
constexpr int Valid = 1; // "A" or "V"
constexpr int RefreshTime = 3;
constexpr int CountdownLength = 12;
constexpr int StaticFlag = 21;  // "R" or "S"
constexpr int IgnoreHours = 22; // ",H", or the line ends before
constexpr int TimeWidth = 8;
} // namespace Column
constexpr int kLineCount = 1 + kGroupCount;

// The file's first `wanted` lines. Lines end at CR; a LF right after it
// belongs to the line end, a bare LF is part of the line. Text after the
// last line end is a last line of its own.
QList<QByteArray> lines(const QByteArray& bytes, int wanted = kLineCount);

// The file's bytes for the given groups; clockNumber 0 stands for "no countdown
// clock selected" and makes a file that will not load.
QByteArray write(int clockNumber, const GroupRows& rows);

struct Loaded {
    enum class Status { Ok, BadHeader, EndsEarly };
    Status status = Status::Ok;
    ClockSchedule schedule; // StartTime left empty; only with Status::Ok
    int linesFound = 0;     // lines the file holds, for EndsEarly
};

// Reads the whole file at once: nothing of it is used unless the header and
// all eight group lines are there.
Loaded read(const QByteArray& bytes);

} // namespace SettingsFile
