#pragma once

#include <QString>

// What varo-clock-cli --help prints and the manual page's lists, both made
// from the table of commands and options and the exit statuses.
namespace CliHelp {

QString text();

// The parts of the manual page (roff) that the table makes; `@NAME@` lines
// of the page's template stand for them: SYNOPSIS, COMMANDS, OPTIONS and
// EXIT_STATUS.
QString manualPart(const QString& name);

} // namespace CliHelp
