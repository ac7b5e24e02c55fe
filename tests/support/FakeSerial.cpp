#include "FakeSerial.h"

#include "common/RuntimeError.h"
#include "serial/SerialError.h"

#include <QTimer>

SerialDeviceFactory FakeSerialBank::factory() {
    return [this](int portNumber) {
        return std::make_unique<FakeSerialDevice>(*this, portNumber);
    };
}

int FakeSerialBank::openPort() const {
    return m_open ? m_open->portNumber() : 0;
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
    if (m_bank.m_open == this)
        m_bank.m_open = nullptr;
}

void FakeSerialDevice::open(const LineSettings& settings) {
    switch (m_bank.port(m_portNumber)) {
    case FakeSerialBank::Port::Missing:
        throw RuntimeError(SerialError::InvalidPortNumber,
                           QStringLiteral("Com%1 does not exist").arg(m_portNumber));
    case FakeSerialBank::Port::Busy:
        throw RuntimeError(
            SerialError::HardwareNotAvailable,
            QStringLiteral("Com%1 is in use by another program: minicom (pid 4242)").arg(m_portNumber));
    case FakeSerialBank::Port::Usable:
        break;
    }
    m_bank.m_open = this;
    m_bank.m_openSettings = settings;
    m_bank.opens.append(m_portNumber);
    m_input.clear();
}

void FakeSerialDevice::close() {
    if (m_bank.m_open == this)
        m_bank.m_open = nullptr;
}

void FakeSerialDevice::write(const QByteArray& bytes) {
    if (m_bank.refuseWrites)
        throw RuntimeError(SerialError::WriteFailed,
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
