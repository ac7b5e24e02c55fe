#pragma once

#include "schedule/GroupRow.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Reading and writing a settings file on disk. Failures are RuntimeErrors
// with the program's error numbers: 53 file not found, 70 permission denied,
// 75 the name is a folder (or, for a save, anything but a regular file), 76
// the folder does not exist, 57 a write that could not be completed.
namespace SettingsFileStore {

// The file's first bytes, far beyond any settings file.
QByteArray load(const QString& path);

// Reads a settings file and checks it as a whole: its schedule, or nothing
// when its header names no countdown clock. A file that ends before its ninth
// line raises error 62 "Input past end of file", as do load()'s failures.
std::optional<ClockSchedule> loadSchedule(const QString& path);
// The same for the bytes load() read from `path`.
std::optional<ClockSchedule> scheduleOf(const QByteArray& bytes, const QString& path);

// Writes a regular file only, as RegularFile::write does: a file that others
// share (a link, another owner) in place, any other replaced as a whole.
void save(const QString& path, const QByteArray& bytes);

} // namespace SettingsFileStore
