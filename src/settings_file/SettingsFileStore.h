#pragma once

#include <QByteArray>
#include <QString>

// Reading and writing a settings file on disk. Failures are RuntimeErrors
// with the program's error numbers: 53 file not found, 70 permission denied,
// 75 the name is a folder, 76 the folder does not exist, 57 a write that
// could not be completed.
namespace SettingsFileStore {

// The file's first bytes, far beyond any settings file.
QByteArray load(const QString& path);

// Replaces the file as a whole: the bytes go beside it and are renamed over
// it at the end, so a save that fails part-way leaves the earlier file as it
// was.
void save(const QString& path, const QByteArray& bytes);

} // namespace SettingsFileStore
