#include "SerialDeviceLine.h"

#include "MicroClock.h"

std::unique_ptr<SerialDeviceLine> SerialDeviceLine::open(const QString& path, qint32 baud, QString* error) {
    std::unique_ptr<SerialDeviceLine> line(new SerialDeviceLine);
    line->m_path = path; // the port's own name drops the "/dev/"
    QSerialPort& port = line->m_port;
    port.setPortName(path);
    if (!port.open(QIODevice::ReadWrite) || !port.setBaudRate(baud) ||
        !port.setDataBits(QSerialPort::Data8) || !port.setParity(QSerialPort::NoParity) ||
        !port.setStopBits(QSerialPort::OneStop) || !port.setFlowControl(QSerialPort::NoFlowControl)) {
        *error = QStringLiteral("%1: %2").arg(path, port.errorString());
        return nullptr;
    }
    connect(&port, &QSerialPort::readyRead, line.get(), &SerialDeviceLine::readAll);
    connect(&port, &QSerialPort::errorOccurred, line.get(), &SerialDeviceLine::reportError);
    return line;
}

QString SerialDeviceLine::write(const QByteArray& bytes) {
    if (m_port.write(bytes) != bytes.size())
        return m_port.errorString();
    m_port.flush(); // hand the bytes to the driver now rather than on the next event loop pass
    return {};
}

void SerialDeviceLine::readAll() {
    const QByteArray chunk = m_port.readAll();
    emit received(chunk, MicroClock::nowUs());
}

void SerialDeviceLine::reportError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::ResourceError)
        emit lost(m_port.errorString());
}
