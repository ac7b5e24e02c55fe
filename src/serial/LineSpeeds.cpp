#include "LineSpeeds.h"

#include "LineSettings.h"

#include <QStringList>

namespace LineSpeeds {

const QList<int>& all() {
    static const QList<int> speeds = {4800, 9600, 19200, 38400};
    return speeds;
}

bool isOffered(int baudRate) {
    return all().contains(baudRate);
}

std::optional<int> fromText(const QString& text) {
    bool ok = false;
    const int speed = text.toInt(&ok);
    return ok && isOffered(speed) && text == QString::number(speed) ? std::optional(speed) : std::nullopt;
}

QString refusal(const QString& option) {
    return option + QStringLiteral(" takes ") + listed(QStringLiteral(", "), QStringLiteral(" or "));
}

QString settingsText(int baudRate) {
    return LineSettings{baudRate, 'n', 8, 1}.toString();
}

QString listed(const QString& separator, const QString& lastSeparator) {
    QStringList texts;
    for (const int speed : all())
        texts << QString::number(speed);
    if (lastSeparator.isEmpty())
        return texts.join(separator);
    const QString last = texts.takeLast();
    return texts.join(separator) + lastSeparator + last;
}

} // namespace LineSpeeds
