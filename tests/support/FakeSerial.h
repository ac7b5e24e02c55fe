#pragma once

#include "serial/PortCatalog.h"
#include "serial/SerialDevice.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <functional>

class FakeSerialDevice;

// The serial ports 1..16 and the devices an operator may type, as a test
// declares them: each missing (the default), usable or held by another
// program (minicom, pid 4242). Records what is written to the open device and
// lets a test put bytes on its input, as a far end would. As the port catalog
// it tells who each device is and which are present (plugged in).
class FakeSerialBank : public PortCatalog {
public:
    enum class Port { Missing, Usable, Busy };

    void setPort(int portNumber, Port state) { m_ports[portNumber] = state; }
    Port port(int portNumber) const { return m_ports.value(portNumber, Port::Missing); }
    // A device known by its location only, such as /dev/ttyUSB3 or COM17.
    void setDevice(const QString& location, Port state) { m_devices[location] = state; }
    Port device(const QString& location) const { return m_devices.value(location, Port::Missing); }
    void setIdentity(const PortIdentity& identity) { m_identities[identity.location] = identity; }
    // Where the bank puts port n: /dev/fake/com<n>.
    static QString locationOf(int portNumber);

    SerialDeviceFactory factory();

    QString locationOfPort(int portNumber) const override { return locationOf(portNumber); }
    std::unique_ptr<SerialDevice> deviceAt(const QString& location) override;
    QList<PortIdentity> identify(const QStringList& locations) const override;
    QStringList presentDevices() const override;

    // The port number of the open device (0 for a typed device, or none open).
    int openPort() const;
    // The location of the open device, or empty.
    QString openLocation() const;
    LineSettings openSettings() const { return m_openSettings; }
    // Every write to any device, in order.
    QList<QByteArray> writes;
    // Port numbers in the order they were opened.
    QList<int> opens;

    // Bytes arriving from the far end; readyRead follows from the event loop.
    void receive(const QByteArray& bytes);
    // Called for each write; may call receive() to answer.
    std::function<void(const QByteArray&)> responder;
    // Makes the next writes fail as a refusing driver would.
    bool refuseWrites = false;
    // The open device stops working (unplugged).
    void loseDevice(const QString& reason);

private:
    friend class FakeSerialDevice;
    QMap<int, Port> m_ports;
    QMap<QString, Port> m_devices;
    QMap<QString, PortIdentity> m_identities;
    FakeSerialDevice* m_open = nullptr;
    LineSettings m_openSettings;
};

class FakeSerialDevice : public SerialDevice {
    Q_OBJECT
public:
    // portNumber 0: a device named by its location.
    FakeSerialDevice(FakeSerialBank& bank, int portNumber, const QString& location)
        : m_bank(bank), m_portNumber(portNumber), m_location(location) {}
    ~FakeSerialDevice() override;

    void open(const LineSettings& settings) override;
    void close() override;
    void write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override { return m_input.size(); }

    int portNumber() const { return m_portNumber; }
    const QString& location() const { return m_location; }
    void arrive(const QByteArray& bytes);

private:
    FakeSerialBank& m_bank;
    int m_portNumber;
    QString m_location;
    QByteArray m_input;
    // The device that was open before this one, open again when this closes:
    // a probe of another port leaves the window's port as it was.
    FakeSerialDevice* m_previous = nullptr;
};
