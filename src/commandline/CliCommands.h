#pragma once

#include "CliArguments.h"

#include <QList>
#include <functional>

// An option of varo-clock-cli. Its one entry makes it known to the parser,
// the help text and the manual page.
struct CliOption {
    QString name;      // "clock" for --clock
    QString valueName; // "1|2" for choices, "N" for a value; empty for an option that takes none
    QString help;
    bool required = false; // the command does not run without it
    // Takes the value (empty for an option that takes none) into the
    // arguments; the usage error when it does not fit. Empty for --help and
    // --version, which end the parsing.
    std::function<QString(const QString& value, CliArguments& arguments)> take;

    // "--clock 1|2", "--invalid".
    QString usage() const;
    // What a command that needs it says: "--clock 1 or --clock 2", "--out FILE".
    QString neededForm() const;
};

// A command of varo-clock-cli. Its one entry makes it known to the parser,
// the help text and the manual page; what it does is ClockCli's.
struct CliCommand {
    CliArguments::Command command;
    QString name;
    // The words after the name as the usage shows them; one in brackets may
    // be left out: "[HH:MM:SS]".
    QStringList words;
    QList<CliOption> options; // its own, in the order the usage shows them
    QString help;
    // Takes the words after the name into the arguments; the usage error
    // when they do not fit.
    std::function<QString(const QStringList& words, CliArguments& arguments)> takeWords;

    int fewestWords() const;
    // "countdown HH:MM:SS --clock 1|2", "read --clock 1|2 [--out FILE]".
    QString usage() const;
};

namespace CliCommands {

// The options of every command: --port, --baud, --json, --help, --version.
const QList<CliOption>& globalOptions();
const QList<CliCommand>& all();
// Nothing for a name no command has.
const CliCommand* find(const QString& name);

} // namespace CliCommands
