#include "SettingsFileCheck.h"

#include "SettingsFile.h"
#include "schedule/TimeText.h"

#include <QRegularExpression>
#include <climits>

namespace SettingsFileCheck {

namespace {

constexpr int kShownCharacters = 40;

// A line's text for a message, cut where it gets long.
QString shown(const QByteArray& line) {
    QString text = QString::fromLatin1(line.left(kShownCharacters));
    if (line.size() > kShownCharacters)
        text += QStringLiteral("...");
    return QLatin1Char('"') + text + QLatin1Char('"');
}

std::optional<QString> byteOrderMark(const QByteArray& line) {
    for (const QByteArray& mark :
         {QByteArray("\xEF\xBB\xBF"), QByteArray("\xFF\xFE"), QByteArray("\xFE\xFF")})
        if (line.startsWith(mark))
            return QStringLiteral("it starts with a byte-order mark (%1); a settings file is plain text "
                                  "without one")
                .arg(QString::fromLatin1(mark.toHex(' ').toUpper()));
    return std::nullopt;
}

QString bareLineFeeds() {
    return QStringLiteral("its lines end in a line feed alone (LF); a settings file ends each line in "
                          "CR LF, so the reader sees one long line");
}

// Why the time field at `column` of a group line is no time; nothing when it is one.
std::optional<QString> timeFault(const QByteArray& line, int column, const QString& name) {
    const QString field = QString::fromLatin1(line.mid(column - 1, SettingsFile::Column::TimeWidth));
    if (TimeText::parse(field))
        return std::nullopt;
    // A time written shorter than hh:nn:ss pulls the comma after it into the field.
    static const QRegularExpression shortTime(QStringLiteral("^(\\d{1,2}):(\\d{1,2}):(\\d{1,2})(,|$)"));
    const QString written = QString::fromLatin1(line.mid(column - 1));
    const QRegularExpressionMatch match = shortTime.match(written);
    if (match.hasMatch()) {
        const QString time =
            match.captured(1) + QLatin1Char(':') + match.captured(2) + QLatin1Char(':') + match.captured(3);
        const QString part = match.captured(1).size() == 1   ? QStringLiteral("a one-digit hour")
                             : match.captured(2).size() == 1 ? QStringLiteral("one-digit minutes")
                                                             : QStringLiteral("one-digit seconds");
        if (const std::optional<QTime> value = TimeText::parse(time))
            return QStringLiteral("the %1 %2 has %3, which the file cannot hold: each time takes "
                                  "exactly eight characters, %4")
                .arg(name, time, part, TimeText::format(*value));
    }
    return QStringLiteral("the %1 \"%2\" is no time of day (hh:nn:ss)").arg(name, field);
}

} // namespace

std::optional<Finding> fault(const QByteArray& bytes) {
    const QList<QByteArray> lines = SettingsFile::lines(bytes);
    if (lines.isEmpty())
        return std::nullopt;
    const QByteArray& header = lines.first();
    if (header != "[CLOCK1]" && header != "[CLOCK2]") {
        if (const std::optional<QString> mark = byteOrderMark(header))
            return Finding{1, *mark};
        if (header.contains('\n'))
            return Finding{1, bareLineFeeds()};
        return Finding{1, QStringLiteral("%1 is no header [CLOCK1] or [CLOCK2]").arg(shown(header))};
    }
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (line.contains('\n'))
            return Finding{i + 1, bareLineFeeds()};
        for (const auto& [column, name] :
             {std::pair{SettingsFile::Column::RefreshTime, QStringLiteral("refresh time")},
              std::pair{SettingsFile::Column::CountdownLength, QStringLiteral("countdown length")}})
            if (const std::optional<QString> why = timeFault(line, column, name))
                return Finding{i + 1, *why};
    }
    return std::nullopt;
}

QList<Finding> looseFlags(const QByteArray& bytes) {
    using SettingsFile::Column::IgnoreHours;
    using SettingsFile::Column::StaticFlag;
    using SettingsFile::Column::Valid;
    QList<Finding> findings;
    const QList<QByteArray> lines = SettingsFile::lines(bytes);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const auto letter = [&line](int column) {
            return line.size() >= column ? QStringLiteral("\"%1\"").arg(QLatin1Char(line[column - 1]))
                                         : QStringLiteral("nothing");
        };
        QStringList what;
        if (line.size() < Valid || (line[Valid - 1] != 'A' && line[Valid - 1] != 'V'))
            what << QStringLiteral("%1 at column %2 is neither A nor V: sent as valid")
                        .arg(letter(Valid))
                        .arg(Valid);
        if (line.size() < StaticFlag || (line[StaticFlag - 1] != 'R' && line[StaticFlag - 1] != 'S'))
            what << QStringLiteral("%1 at column %2 is neither R nor S: sent as static")
                        .arg(letter(StaticFlag))
                        .arg(StaticFlag);
        const QByteArray tail = line.mid(IgnoreHours - 1);
        if (!tail.isEmpty() && tail != ",H")
            what << QStringLiteral("%1 after column %2 is neither nothing nor \",H\": sent %3")
                        .arg(shown(tail))
                        .arg(StaticFlag)
                        .arg(tail.size() >= 2 && tail[1] == 'H' ? QStringLiteral("with ignore hours")
                                                                : QStringLiteral("without ignore hours"));
        if (!what.isEmpty())
            findings << Finding{i + 1, what.join(QStringLiteral("; "))};
    }
    return findings;
}

std::optional<Finding> beyondLastLine(const QByteArray& bytes) {
    const QList<QByteArray> lines = SettingsFile::lines(bytes, INT_MAX);
    for (int i = SettingsFile::kLineCount; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty())
            continue;
        const bool header = lines[i] == "[CLOCK1]" || lines[i] == "[CLOCK2]";
        return Finding{i + 1,
                       QStringLiteral("%1 follows the ninth line, after which a settings file is not "
                                      "read: %2")
                           .arg(shown(lines[i]), header ? QStringLiteral("a file holds one countdown clock")
                                                        : QStringLiteral("it is not sent"))};
    }
    return std::nullopt;
}

} // namespace SettingsFileCheck
