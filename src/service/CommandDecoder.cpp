#include "CommandDecoder.h"

#include "schedule/TimeText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace CommandDecoder {

namespace {

using Input = CommandArgument::Input;

Decoded refused(const QString& error) {
    return {std::nullopt, error, {}};
}

// The body as a JSON object; an empty body is an empty object.
std::optional<QJsonObject> objectOf(const QByteArray& body, QString* error) {
    if (body.trimmed().isEmpty())
        return QJsonObject();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error =
            QStringLiteral("bad JSON: %1 at byte %2").arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("bad JSON: the body must be an object");
        return std::nullopt;
    }
    return document.object();
}

// One argument from the path or the JSON object into `given`; why not, when it does not fit.
QString take(const CommandArgument& argument, const QHash<QString, QString>& pathValues,
             const QJsonObject& object, CommandArguments& given) {
    if (argument.input == Input::Number && pathValues.contains(argument.name)) {
        bool ok = false;
        const QString text = pathValues.value(argument.name);
        const int number = text.toInt(&ok);
        if (!ok || number < argument.least || number > argument.most || text != QString::number(number))
            return QStringLiteral("%1 is %2").arg(argument.description, argument.range());
        given.numbers.insert(argument.name, number);
        return QString();
    }
    const QJsonValue value = object.value(argument.name);
    switch (argument.input) {
    case Input::TimeOfDay: {
        const std::optional<QTime> time =
            value.isString() ? TimeText::parseTimeOfDay(value.toString()) : std::nullopt;
        if (!time)
            return QStringLiteral("\"%1\" must be a time of day, \"HH:MM:SS\"").arg(argument.name);
        given.times.insert(argument.name, *time);
        return QString();
    }
    case Input::Number: {
        const double number = value.toDouble(-1);
        if (!value.isDouble() || number != int(number) || number < argument.least || number > argument.most)
            return QStringLiteral("\"%1\" must be %2").arg(argument.name, argument.range());
        given.numbers.insert(argument.name, int(number));
        return QString();
    }
    case Input::Flag:
        if (!value.isBool())
            return QStringLiteral("\"%1\" must be true or false").arg(argument.name);
        given.flags.insert(argument.name, value.toBool());
        return QString();
    case Input::SettingsFile:
        break;
    }
    return QString();
}

} // namespace

Decoded decode(const QList<const ClockCommand*>& sharing, const QHash<QString, QString>& pathValues,
               const QByteArray& body) {
    // The arguments of every command at the route, each once.
    QList<CommandArgument> arguments;
    QStringList names;
    for (const ClockCommand* command : sharing)
        for (const CommandArgument& argument : command->arguments)
            if (!names.contains(argument.name)) {
                names << argument.name;
                arguments << argument;
            }

    CommandArguments given;
    Decoded decoded;
    // The path first: a request to a clock that is none goes no further.
    for (const CommandArgument& argument : arguments)
        if (pathValues.contains(argument.name)) {
            const QString why = take(argument, pathValues, QJsonObject(), given);
            if (!why.isEmpty())
                return refused(why);
        }
    QStringList named = pathValues.keys();
    QJsonObject object;
    const bool bodyIsFile =
        std::any_of(arguments.cbegin(), arguments.cend(),
                    [](const CommandArgument& argument) { return argument.input == Input::SettingsFile; });
    if (bodyIsFile) {
        SettingsFileText::Decoded file = SettingsFileText::decode(body, QStringLiteral("the body"));
        if (file.refusal)
            return refused(file.refusal->text());
        for (const SettingsFileCheck::Finding& warning : file.warnings)
            decoded.warnings << SettingsFileText::lineText(warning);
        given.settings = std::move(file);
        named << QStringLiteral("file");
    } else {
        QString error;
        const std::optional<QJsonObject> parsed = objectOf(body, &error);
        if (!parsed)
            return refused(error);
        object = *parsed;
        for (auto member = object.begin(); member != object.end(); ++member) {
            if (!names.contains(member.key()) || pathValues.contains(member.key()))
                return refused(QStringLiteral("unknown member \"%1\"").arg(member.key()));
            named << member.key();
        }
    }
    // The command whose arguments were given; else the first that takes
    // those given, so that what it misses is named.
    const ClockCommand* command = ClockCommands::chosen(sharing, named);
    for (auto candidate = sharing.cbegin(); !command && candidate != sharing.cend(); ++candidate)
        if (std::all_of(named.cbegin(), named.cend(), [candidate](const QString& name) {
                return std::any_of(
                    (*candidate)->arguments.cbegin(), (*candidate)->arguments.cend(),
                    [&name](const CommandArgument& argument) { return argument.name == name; });
            }))
            command = *candidate;
    if (!command)
        return refused(QStringLiteral("the request names none of its commands"));
    for (const CommandArgument& argument : command->arguments) {
        if (argument.input == Input::SettingsFile || argument.pathOnly ||
            pathValues.contains(argument.name) || (argument.serviceOnly && !object.contains(argument.name)))
            continue;
        const QString why = take(argument, pathValues, object, given);
        if (!why.isEmpty())
            return refused(why);
    }
    QString why;
    decoded.request = command->request(given, &why);
    if (!decoded.request)
        return refused(why);
    return decoded;
}

} // namespace CommandDecoder
