#include "ComputerClockStateText.h"

#include <QLocale>
#include <QStringList>
#include <cmath>

namespace ComputerClockStateText {

QString name(ComputerClockState::Sync sync) {
    switch (sync) {
    case ComputerClockState::Sync::Synchronized:
        return QStringLiteral("synchronized");
    case ComputerClockState::Sync::Unsynchronized:
        return QStringLiteral("unsynchronized");
    case ComputerClockState::Sync::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

QString summary(const ComputerClockState& state) {
    switch (state.sync) {
    case ComputerClockState::Sync::Synchronized:
        if (!state.maxErrorMs)
            return QStringLiteral("PC clock synchronized");
        return QStringLiteral("PC clock synchronized, max error %1 ms").arg(std::ceil(*state.maxErrorMs));
    case ComputerClockState::Sync::Unsynchronized:
        return QStringLiteral("PC clock not synchronized");
    case ComputerClockState::Sync::Unknown:
        break;
    }
    return QStringLiteral("PC clock state unknown");
}

QString account(const ComputerClockState& state) {
    QStringList parts;
    // Every digit the source gave: 15999.999 ms is not yet 16 s.
    if (state.maxErrorMs)
        parts << QStringLiteral("max error %1 ms")
                     .arg(QString::number(*state.maxErrorMs, 'g', QLocale::FloatingPointShortest));
    if (state.estErrorMs)
        parts << QStringLiteral("estimated error %1 ms")
                     .arg(QString::number(*state.estErrorMs, 'g', QLocale::FloatingPointShortest));
    if (!state.detail.isEmpty())
        parts << state.detail;
    return state.source + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

QJsonObject toJson(const ComputerClockState& state) {
    const auto milliseconds = [](const std::optional<double>& value) {
        return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
    };
    const bool known = state.sync != ComputerClockState::Sync::Unknown;
    QJsonObject object{
        {QStringLiteral("state"), name(state.sync)},
        {QStringLiteral("synchronized"),
         known ? QJsonValue(state.sync == ComputerClockState::Sync::Synchronized)
               : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("maxErrorMs"), milliseconds(state.maxErrorMs)},
        {QStringLiteral("estErrorMs"), milliseconds(state.estErrorMs)},
        {QStringLiteral("source"), state.source},
    };
    if (!state.detail.isEmpty())
        object.insert(QStringLiteral("detail"), state.detail);
    return object;
}

} // namespace ComputerClockStateText
