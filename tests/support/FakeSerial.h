#pragma once

#include "serial/SerialDevice.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <functional>

class FakeSerialDevice;

// The serial ports 1..16 as a test declares them: each missing (the
// default), usable or held by another program (minicom, pid 4242). Records what is written to
// the open device and lets a test put bytes on its input, as a far end would.
class FakeSerialBank {
public:
    enum class Port { Missing, Usable, Busy };

    void setPort(int portNumber, Port state) { m_ports[portNumber] = state; }
    Port port(int portNumber) const { return m_ports.value(portNumber, Port::Missing); }

    SerialDeviceFactory factory();

    // The port number of the open device, or 0.
    int openPort() const;
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
    FakeSerialDevice* m_open = nullptr;
    LineSettings m_openSettings;
};

class FakeSerialDevice : public SerialDevice {
    Q_OBJECT
public:
    FakeSerialDevice(FakeSerialBank& bank, int portNumber) : m_bank(bank), m_portNumber(portNumber) {}
    ~FakeSerialDevice() override;

    void open(const LineSettings& settings) override;
    void close() override;
    void write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override { return m_input.size(); }

    int portNumber() const { return m_portNumber; }
    void arrive(const QByteArray& bytes);

private:
    FakeSerialBank& m_bank;
    int m_portNumber;
    QByteArray m_input;
};
