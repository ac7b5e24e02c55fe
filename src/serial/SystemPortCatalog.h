#pragma once

#include "PortCatalog.h"

// The serial devices of this computer, from QSerialPortInfo and, on Linux,
// /dev/serial/by-id.
class SystemPortCatalog : public PortCatalog {
public:
    QString locationOfPort(int portNumber) const override;
    std::unique_ptr<SerialDevice> deviceAt(const QString& location) override;
    QList<PortIdentity> identify(const QStringList& locations) const override;
    QStringList presentDevices() const override;
};
