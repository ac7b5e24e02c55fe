#include "PortCatalog.h"

namespace {
QStringList knownDetails(const PortIdentity& identity) {
    QStringList parts;
    for (const QString& part : {identity.description, identity.manufacturer})
        if (!part.isEmpty())
            parts << part;
    if (!identity.serialNumber.isEmpty())
        parts << QStringLiteral("serial number ") + identity.serialNumber;
    if (!identity.stableName.isEmpty())
        parts << identity.stableName;
    return parts;
}

QStringList knownParts(const PortIdentity& identity) {
    return QStringList{identity.location} + knownDetails(identity);
}
} // namespace

QString PortIdentity::summary() const {
    return knownParts(*this).join(QStringLiteral(", "));
}

QString PortIdentity::details() const {
    return knownDetails(*this).join(QStringLiteral(", "));
}

QString PortIdentity::toolTip() const {
    return knownParts(*this).join(QLatin1Char('\n'));
}
