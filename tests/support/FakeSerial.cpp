#include "FakeSerial.h"

#include "common/RuntimeError.h"

#include <QTimer>

QString FakeSerialBank::locationOf(int portNumber) {
    return QStringLiteral("/dev/fake/com%1").arg(portNumber);
}

SerialDeviceFactory FakeSerialBank::factory() {
    return [this](int portNumber) {
        return std::make_unique<FakeSerialDevice>(*this, portNumber, locationOf(portNumber));
    };
}

std::unique_ptr<SerialDevice> FakeSerialBank::deviceAt(const QString& location) {
    return std::make_unique<FakeSerialDevice>(*this, 0, location);
}

QList<PortIdentity> FakeSerialBank::identify(const QStringList& locations) const {
    QList<PortIdentity> identities;
    for (const QString& location : locations) {
        PortIdentity unknown;
        unknown.location = location;
        identities << m_identities.value(location, unknown);
    }
    return identities;
}

QStringList FakeSerialBank::presentDevices() const {
    QStringList present;
    for (auto port = m_ports.cbegin(); port != m_ports.cend(); ++port)
        if (port.value() != Port::Missing)
            present << locationOf(port.key());
    for (auto device = m_devices.cbegin(); device != m_devices.cend(); ++device)
        if (device.value() != Port::Missing)
            present << device.key();
    present.sort();
    return present;
}

int FakeSerialBank::openPort() const {
    return m_open ? m_open->portNumber() : 0;
}

QString FakeSerialBank::openLocation() const {
    return m_open ? m_open->location() : QString();
}

void FakeSerialBank::receive(const QByteArray& bytes) {
    if (m_open)
        m_open->arrive(bytes);
}

void FakeSerialBank::loseDevice(const QString& reason) {
    if (m_open)
        emit m_open->lost(reason);
}

FakeSerialDevice::~FakeSerialDevice() {
    close();
}

void FakeSerialDevice::open(const LineSettings& settings) {
    const QString name = m_portNumber > 0 ? QStringLiteral("Com%1").arg(m_portNumber) : m_location;
    switch (m_portNumber > 0 ? m_bank.port(m_portNumber) : m_bank.device(m_location)) {
    case FakeSerialBank::Port::Missing:
        throw RuntimeError(ErrorNumber::InvalidPortNumber, QStringLiteral("%1 does not exist").arg(name));
    case FakeSerialBank::Port::Busy:
        throw RuntimeError(ErrorNumber::HardwareNotAvailable,
                           QStringLiteral("%1 is in use by another program: minicom (pid 4242)").arg(name));
    case FakeSerialBank::Port::Usable:
        break;
    }
    m_previous = m_bank.m_open;
    m_bank.m_open = this;
    m_bank.m_openSettings = settings;
    m_bank.opens.append(m_portNumber);
    m_input.clear();
}

void FakeSerialDevice::close() {
    if (m_bank.m_open == this) {
        m_bank.m_open = std::exchange(m_previous, nullptr);
        return;
    }
    // A device closed under the open one (the port a typed device replaced)
    // is none to return to.
    for (FakeSerialDevice* device = m_bank.m_open; device; device = device->m_previous)
        if (device->m_previous == this) {
            device->m_previous = std::exchange(m_previous, nullptr);
            return;
        }
}

void FakeSerialDevice::write(const QByteArray& bytes) {
    if (m_bank.refuseWrites)
        throw RuntimeError(ErrorNumber::WriteFailed,
                           QStringLiteral("Error writing to Com%1: Input/output error").arg(m_portNumber));
    m_bank.writes.append(bytes);
    if (m_bank.responder)
        m_bank.responder(bytes);
}

QByteArray FakeSerialDevice::readAll() {
    QByteArray bytes;
    bytes.swap(m_input);
    return bytes;
}

void FakeSerialDevice::arrive(const QByteArray& bytes) {
    m_input += bytes;
    // Like a real port: the program hears of new bytes from its event loop.
    QTimer::singleShot(0, this, &SerialDevice::readyRead);
}
