#include "PortNames.h"

#include "NetworkPortAddress.h"

#include <QRegularExpression>
#include <QtGlobal>

namespace PortNames {

QString deviceForPort(int portNumber) {
    const QByteArray overrideName = "VARO_CLOCK_COM" + QByteArray::number(portNumber);
    const QString overridden = qEnvironmentVariable(overrideName.constData());
    if (!overridden.isEmpty())
        return overridden;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    // Built-in UARTs first, then USB serial adapters, then USB modems (CDC ACM).
    if (portNumber <= 4)
        return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
    if (portNumber <= 12)
        return QStringLiteral("/dev/ttyUSB%1").arg(portNumber - 5);
    return QStringLiteral("/dev/ttyACM%1").arg(portNumber - 13);
#endif
}

bool isDeviceName(const QString& text) {
    static const QRegularExpression deviceName(
        QStringLiteral("^(/dev/.*[^/]|(\\\\\\\\\\.\\\\)?COM[1-9][0-9]{0,2})$"),
        QRegularExpression::CaseInsensitiveOption);
    return deviceName.match(text.trimmed()).hasMatch() || NetworkPortAddress::parse(text).has_value();
}

} // namespace PortNames
