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

} // namespace CommandTexts
