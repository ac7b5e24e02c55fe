#pragma once

#include "SerialDevice.h"

#include <QString>
#include <QStringList>
#include <memory>

// Who a serial device is, as the system describes it; empty fields are unknown.
struct PortIdentity {
    QString location; // /dev/ttyUSB0, COM3
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString stableName; // /dev/serial/by-id/... on Linux

    // "location, description, maker, serial number N, stable name", the known parts only.
    QString summary() const;
    // The same without the location.
    QString details() const;
    // The same parts one a line.
    QString toolTip() const;
};

// The serial devices of this computer beyond the numbered port list: devices
// named by the operator, who each device is, and which are present now (for
// plug and unplug). Tests put the fake serial bank in its place.
class PortCatalog {
public:
    virtual ~PortCatalog() = default;

    // The device behind port 1..16 of the list.
    virtual QString locationOfPort(int portNumber) const = 0;
    // A device named by its location (not yet open).
    virtual std::unique_ptr<SerialDevice> deviceAt(const QString& location) = 0;
    // Who each device is, in the order given (asked together: the system's
    // list of serial ports takes milliseconds to make).
    virtual QList<PortIdentity> identify(const QStringList& locations) const = 0;
    // The devices present now; the list changes when one comes or goes.
    virtual QStringList presentDevices() const = 0;
};
