#include "CliArguments.h"

#include "CliCommands.h"

#include <QCommandLineParser>
#include <algorithm>

namespace {

using Command = CliArguments::Command;

// Every option once, also one that several commands share.
QList<CliOption> everyOption() {
    QList<CliOption> options = CliCommands::globalOptions();
    QStringList names;
    for (const CliOption& option : options)
        names << option.name;
    for (const CliCommand& command : CliCommands::all())
        for (const CliOption& option : command.options)
            if (!names.contains(option.name)) {
                names << option.name;
                options << option;
            }
    return options;
}

bool isGlobal(const QString& name) {
    const QList<CliOption>& global = CliCommands::globalOptions();
    return std::any_of(global.cbegin(), global.cend(),
                       [&name](const CliOption& option) { return option.name == name; });
}

// The option as it was written: "--bogus" or "-x".
QString asWritten(const QString& name, const QStringList& arguments) {
    const QString longForm = QStringLiteral("--") + name;
    for (const QString& argument : arguments)
        if (argument == longForm || argument.startsWith(longForm + QLatin1Char('=')))
            return longForm;
    return QLatin1Char('-') + name;
}

// The parser's complaint in the command line's own words.
QString parseError(const QCommandLineParser& parser, const QStringList& arguments) {
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("unknown option ") + asWritten(parser.unknownOptionNames().first(), arguments);
    for (const CliOption& option : everyOption()) {
        const bool given = parser.optionNames().contains(option.name);
        if (given && !option.valueName.isEmpty() && parser.values(option.name).isEmpty())
            return QStringLiteral("--%1 needs a value").arg(option.name);
        if (given && option.valueName.isEmpty() &&
            std::any_of(arguments.cbegin(), arguments.cend(), [&option](const QString& argument) {
                return argument.startsWith(QStringLiteral("--%1=").arg(option.name));
            }))
            return QStringLiteral("--%1 takes no value").arg(option.name);
    }
    return parser.errorText();
}

// What is wrong with the options given to `command`; empty when nothing.
QString optionError(const QCommandLineParser& parser, const CliCommand& command) {
    QStringList own;
    for (const CliOption& option : command.options)
        own << option.name;
    for (const CliOption& option : everyOption()) {
        const auto given = parser.optionNames().count(option.name);
        if (given > 1)
            return QStringLiteral("--%1 is given more than once").arg(option.name);
        if (given == 1 && !option.valueName.isEmpty() && parser.value(option.name).isEmpty())
            return QStringLiteral("--%1 needs a value").arg(option.name);
        if (given == 1 && !isGlobal(option.name) && !own.contains(option.name))
            return QStringLiteral("--%1 does not go with %2").arg(option.name, command.name);
    }
    for (const CliOption& option : command.options)
        if (option.required && !parser.isSet(option.name))
            return QStringLiteral("%1 needs %2").arg(command.name, option.neededForm());
    return QString();
}

// The arguments a clock command was given, by name: a flag always is (yes
// unless its option says no), a settings file when its word is there.
QStringList givenNames(const CliArguments& parsed) {
    QStringList names = parsed.given.times.keys() + parsed.given.numbers.keys();
    for (const ClockCommand* command : ClockCommands::byWord(parsed.commandName))
        for (const CommandArgument& argument : command->arguments)
            if ((argument.input == CommandArgument::Input::Flag && !argument.serviceOnly) ||
                (argument.input == CommandArgument::Input::SettingsFile && !parsed.file.isEmpty()))
                names << argument.name;
    return names;
}

} // namespace

CliArguments CliArguments::parse(const QStringList& arguments) {
    CliArguments parsed;
    QCommandLineParser parser;
    // "-json" is --json, not -j -s -o -n.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QList<CliOption> options = everyOption();
    for (const CliOption& option : options)
        parser.addOption(option.valueName.isEmpty()
                             ? QCommandLineOption(option.name)
                             : QCommandLineOption(option.name, option.help, option.valueName));
    const bool parsedAll = parser.parse(QStringList{QStringLiteral("varo-clock-cli")} + arguments);
    // A usage error is reported as JSON too when that was asked for.
    parsed.json = parser.isSet(QStringLiteral("json"));
    QStringList words = parser.positionalArguments();
    const CliCommand* command = words.isEmpty() ? nullptr : CliCommands::find(words.first());
    if (command)
        parsed.commandName = command->name;
    if (!parsedAll) {
        parsed.usageError = parseError(parser, arguments);
        return parsed;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        parsed.command = parser.isSet(QStringLiteral("help")) ? Command::Help : Command::Version;
        parsed.commandName.clear();
        return parsed;
    }
    if (words.isEmpty()) {
        parsed.usageError = QStringLiteral("no command given");
        return parsed;
    }
    if (!command) {
        parsed.usageError = QStringLiteral("unknown command ") + words.first();
        return parsed;
    }
    words.removeFirst();
    parsed.command = command->command;
    if (words.size() < command->fewestWords() || words.size() > command->words.size()) {
        parsed.usageError = QStringLiteral("wrong number of arguments for ") + command->name;
        return parsed;
    }
    parsed.usageError = optionError(parser, *command);
    QList<CliOption> taken = CliCommands::globalOptions();
    taken << command->options;
    for (auto option = taken.cbegin(); parsed.usageError.isEmpty() && option != taken.cend(); ++option)
        if (parser.isSet(option->name) && option->take)
            parsed.usageError = option->take(parser.value(option->name), parsed);
    if (parsed.usageError.isEmpty() && command->takeWords)
        parsed.usageError = command->takeWords(words, parsed);
    if (parsed.usageError.isEmpty() && parsed.command == Command::Clock)
        parsed.clockCommand = ClockCommands::chosen(ClockCommands::byWord(command->name), givenNames(parsed));
    return parsed;
}
