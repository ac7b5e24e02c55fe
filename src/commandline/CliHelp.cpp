#include "CliHelp.h"

#include "CliCommands.h"
#include "CliStatus.h"

#include <QRegularExpression>

namespace {

constexpr int kTextColumn = 28;
constexpr int kLineWidth = 79;

// `label` and then `text` from column 28, wrapped at the line width; a label
// too long for that gets a line of its own.
QString helpEntry(const QString& label, const QString& text) {
    const bool ownLine = label.size() + 2 > kTextColumn;
    QString entry = ownLine ? label + QLatin1Char('\n') : QString();
    QString line = (ownLine ? QString() : label).leftJustified(kTextColumn);
    bool lineEmpty = true;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!lineEmpty && line.size() + 1 + word.size() > kLineWidth) {
            entry += line + QLatin1Char('\n');
            line = QString(kTextColumn, QLatin1Char(' '));
            lineEmpty = true;
        }
        line += (lineEmpty ? QString() : QStringLiteral(" ")) + word;
        lineEmpty = false;
    }
    return entry + line + QLatin1Char('\n');
}

QString globalUsage() {
    QStringList parts;
    for (const CliOption& option : CliCommands::globalOptions())
        parts << QLatin1Char('[') + option.usage() + QLatin1Char(']');
    return parts.join(QLatin1Char(' '));
}

// Prose for roff: options with true minus signs, no line taken for a request.
QString roffText(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\e"))
        .replace(QStringLiteral("--"), QStringLiteral("\\-\\-"));
    if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
        text.prepend(QStringLiteral("\\&"));
    return text;
}

QString sentence(const QString& text) {
    return roffText(text.left(1).toUpper() + text.mid(1) + QLatin1Char('.'));
}

// A usage in roff fonts: names and literal values bold, placeholders
// (HH:MM:SS, FILE, N) italic, brackets and bars roman.
QString roffUsage(const QString& usage) {
    static const QRegularExpression piece(QStringLiteral("[^\\[\\]| ]+"));
    QString roff;
    qsizetype done = 0;
    for (QRegularExpressionMatchIterator it = piece.globalMatch(usage); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        roff += usage.mid(done, match.capturedStart() - done);
        const QString word = match.captured();
        const bool placeholder = word.at(0).isUpper();
        roff += (placeholder ? QStringLiteral("\\fI") : QStringLiteral("\\fB")) + roffText(word) +
                QStringLiteral("\\fR");
        done = match.capturedEnd();
    }
    return roff + usage.mid(done);
}

QString roffEntry(const QString& usage, const QString& text) {
    return QStringLiteral(".TP\n") + roffUsage(usage) + QLatin1Char('\n') + sentence(text) +
           QLatin1Char('\n');
}

} // namespace

namespace CliHelp {

QString text() {
    QString help = QStringLiteral("Usage: varo-clock-cli %1 COMMAND ...\n\n"
                                  "Runs one command of the Varo Clock window against the master clock "
                                  "and exits.\n\nCommands:\n")
                       .arg(globalUsage());
    for (const CliCommand& command : CliCommands::all()) {
        help += helpEntry(QStringLiteral("  ") + command.usage(), command.help);
        for (const CliOption& option : command.options)
            help += helpEntry(QStringLiteral("      ") + option.usage(), option.help);
    }
    help += QStringLiteral("\nOptions:\n");
    for (const CliOption& option : CliCommands::globalOptions())
        help += helpEntry(QStringLiteral("  ") + option.usage(), option.help);
    help += QStringLiteral(
        "\nEach command prints what it sent and received, as the window shows it. Answers are\n"
        "awaited as in the window: 2 to 3 s for a settings read or write, 3 to 4 s for the\n"
        "master clock's time frame.\n\nExit status:\n");
    for (const CliStatusMeaning& meaning : cliStatusMeanings())
        help += QStringLiteral("  %1  %2\n").arg(int(meaning.status)).arg(meaning.meaning);
    return help + QStringLiteral("The message on standard error is the window's own text for the same "
                                 "failure.\n");
}

QString manualPart(const QString& name) {
    QString roff;
    if (name == QLatin1String("SYNOPSIS"))
        return QStringLiteral(".B varo-clock-cli\n") + roffUsage(globalUsage()) +
               QStringLiteral("\n\\fICOMMAND\\fR [\\fIARGUMENTS\\fR ...]\n");
    if (name == QLatin1String("COMMANDS")) {
        for (const CliCommand& command : CliCommands::all()) {
            roff += roffEntry(command.usage(), command.help);
            if (command.options.isEmpty())
                continue;
            roff += QStringLiteral(".RS\n");
            for (const CliOption& option : command.options)
                roff += roffEntry(option.usage(), option.help);
            roff += QStringLiteral(".RE\n");
        }
    } else if (name == QLatin1String("OPTIONS")) {
        for (const CliOption& option : CliCommands::globalOptions())
            roff += roffEntry(option.usage(), option.help);
    } else if (name == QLatin1String("EXIT_STATUS")) {
        for (const CliStatusMeaning& meaning : cliStatusMeanings()) {
            roff += QStringLiteral(".TP\n.B %1\n").arg(int(meaning.status)) + sentence(meaning.meaning) +
                    QLatin1Char('\n');
            if (!meaning.example.isEmpty())
                roff += QStringLiteral("For example \"%1\".\n").arg(roffText(meaning.example));
        }
    }
    return roff;
}

} // namespace CliHelp
