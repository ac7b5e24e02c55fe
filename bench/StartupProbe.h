#pragma once

#include <QJsonObject>
#include <QString>

// Start-up measured in a process of its own: the bench executable run again
// with --startup-probe builds the window as the program's own main does, shows
// it and prints one line "STARTUP <json>" with the time since the process was
// spawned and its peak resident memory.
namespace StartupProbe {

inline const char* const kOption = "--startup-probe";
inline const char* const kLinePrefix = "STARTUP ";

// The probe's main; QT_QPA_PLATFORM is already set.
int run(int argc, char* argv[]);

// Runs one probe process (this executable) with Com16 mapped to `device`.
// Returns the probe's figures, or an object with "error".
QJsonObject spawn(const QString& device);

} // namespace StartupProbe
