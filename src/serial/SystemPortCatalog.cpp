#include "SystemPortCatalog.h"

#include "NetworkPortAddress.h"
#include "NetworkSerialDevice.h"
#include "PortNames.h"
#include "QtSerialDevice.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace {
// The /dev/serial/by-id link that leads to `device`, which names the adapter
// by maker, model and serial number and stays the same across plugging.
QString stableNameOf(const QString& device) {
#ifdef Q_OS_LINUX
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo& link : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        if (link.canonicalFilePath() == device)
            return link.absoluteFilePath();
#else
    Q_UNUSED(device);
#endif
    return QString();
}
} // namespace

QString SystemPortCatalog::locationOfPort(int portNumber) const {
    return PortNames::deviceForPort(portNumber);
}

std::unique_ptr<SerialDevice> SystemPortCatalog::deviceAt(const QString& location) {
    if (const std::optional<NetworkPortAddress> address = NetworkPortAddress::parse(location))
        return std::make_unique<NetworkSerialDevice>(location.trimmed(), *address);
    return std::make_unique<QtSerialDevice>(0, location);
}

QList<PortIdentity> SystemPortCatalog::identify(const QStringList& locations) const {
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    QList<PortIdentity> identities;
    for (const QString& location : locations) {
        PortIdentity identity;
        identity.location = location;
        if (const std::optional<NetworkPortAddress> address = NetworkPortAddress::parse(location)) {
            identity.description =
                address->protocol == NetworkPortAddress::Protocol::Raw
                    ? QStringLiteral("raw TCP network port: the line speed is the server's")
                    : QStringLiteral("RFC 2217 network port");
            identities << identity;
            continue;
        }
        // A typed /dev/serial/by-id name leads to the device the system lists.
        const QString canonical = QFileInfo(location).canonicalFilePath();
        const QString device = canonical.isEmpty() ? location : canonical;
        for (const QSerialPortInfo& info : ports) {
            if (info.systemLocation() != device &&
                info.portName().compare(location, Qt::CaseInsensitive) != 0)
                continue;
            identity.description = info.description();
            identity.manufacturer = info.manufacturer();
            identity.serialNumber = info.serialNumber();
            break;
        }
        identity.stableName = stableNameOf(device);
        if (identity.stableName == location)
            identity.stableName.clear();
        identities << identity;
    }
    return identities;
}

QStringList SystemPortCatalog::presentDevices() const {
    QStringList present;
#ifdef Q_OS_LINUX
    // Asked every second: the names in /dev cost a fraction of what the
    // system's port list does. A plugged adapter adds its ttyUSBn or ttyACMn.
    const QDir devices(QStringLiteral("/dev"));
    for (const QString& name : devices.entryList({QStringLiteral("tty*"), QStringLiteral("rfcomm*")},
                                                 QDir::System | QDir::NoDotAndDotDot))
        present << devices.filePath(name);
#else
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        present << info.systemLocation();
#endif
    // Devices the port list reaches that the system does not list as serial
    // ports, such as a pseudo-terminal named in VARO_CLOCK_COM<n>.
    for (int port = PortNames::kFirstPort; port <= PortNames::kLastPort; ++port) {
        const QString device = PortNames::deviceForPort(port);
        if (!present.contains(device) && QFileInfo::exists(device))
            present << device;
    }
    present.sort();
    return present;
}
