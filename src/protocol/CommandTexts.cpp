#include "CommandTexts.h"

#include "common/RuntimeError.h"

namespace CommandTexts {

QString errorReport(const RuntimeError& error) {
    return QStringLiteral("Writing Error ") + QString::number(error.number()) + QLatin1Char(':') +
           error.description();
}

QString portError(const RuntimeError& error) {
    return QString::number(error.number()) + QStringLiteral(": ") + error.description();
}

} // namespace CommandTexts
