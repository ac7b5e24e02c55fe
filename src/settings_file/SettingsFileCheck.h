#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// What is wrong in a settings file, named by its line, for a message that
// lets the operator mend it: why the file does not load or holds a time that
// is no time, and the group lines whose flag letters are not the file's own.
namespace SettingsFileCheck {

struct Finding {
    int line = 0; // counted from 1
    QString what;
};

// The first line at fault when the header names no countdown clock or a
// time field is no time of day; nothing otherwise.
std::optional<Finding> fault(const QByteArray& bytes);

// Each group line whose flags are not exactly "A" or "V", "R" or "S" and
// nothing or ",H" after: it loads all the same, with what the letters mean
// for the master clock.
QList<Finding> looseFlags(const QByteArray& bytes);

// The first line after the ninth that holds more than blanks: the file is
// read no further, so a second clock's groups there are never sent.
std::optional<Finding> beyondLastLine(const QByteArray& bytes);

} // namespace SettingsFileCheck
