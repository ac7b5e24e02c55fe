#include "CommandTexts.h"

#include "common/RuntimeError.h"

namespace CommandTexts {

QString errorReport(const RuntimeError& error) {
    return QStringLiteral("Writing Error ") + QString::number(error.code()) + QLatin1Char(':') +
           error.description();
}

QString portError(const RuntimeError& error) {
    return QString::number(error.code()) + QStringLiteral(": ") + error.description();
}

QString clockStep(qint64 offsetUs) {
    const qint64 seconds = (qAbs(offsetUs) + 500'000) / 1'000'000;
    QString text = offsetUs < 0 ? QStringLiteral("-") : QStringLiteral("+");
    if (seconds >= 3600)
        text += QStringLiteral("%1 h ").arg(seconds / 3600);
    if (seconds >= 60)
        text += QStringLiteral("%1 min ").arg(seconds / 60 % 60);
    return text + QStringLiteral("%1 s").arg(seconds % 60);
}

QString stepQuestion(qint64 offsetUs) {
    return QStringLiteral("The computer's clock would move by %1. Set it?").arg(clockStep(offsetUs));
}

} // namespace CommandTexts
