#pragma once

#include "LineSettings.h"

#include <QByteArray>
#include <QObject>
#include <functional>
#include <memory>

// One opened serial device under the serial port component. Production uses
// QSerialPort; tests put fakes in its place.
class SerialDevice : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Opens the device; throws RuntimeError with the system's reason.
    virtual void open(const LineSettings& settings) = 0;
    virtual void close() = 0;
    // Hands all bytes to the device; throws RuntimeError when they are refused.
    virtual void write(const QByteArray& bytes) = 0;
    virtual QByteArray readAll() = 0;
    virtual qint64 bytesAvailable() const = 0;
    // Asks whatever holds received bytes on their way here to drop them (a
    // network port's server); a local device has nothing of the kind.
    virtual void purgeInput() {}

signals:
    void readyRead();
    // The device failed while open (unplugged, far end gone); emitted once.
    void lost(const QString& reason);
};

// Creates the device for a port number 1..16 (not yet open).
using SerialDeviceFactory = std::function<std::unique_ptr<SerialDevice>(int portNumber)>;
// Creates the device at a location the operator named (not yet open).
using NamedSerialDeviceFactory = std::function<std::unique_ptr<SerialDevice>(const QString& location)>;
