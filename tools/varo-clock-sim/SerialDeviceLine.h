#pragma once

#include "Line.h"

#include <QSerialPort>
#include <memory>

// A real serial device at a given speed, 8 data bits, no parity, 1 stop bit
// and no flow control.
class SerialDeviceLine : public Line {
    Q_OBJECT
public:
    // Nothing, with `error` set, when the device does not open.
    static std::unique_ptr<SerialDeviceLine> open(const QString& path, qint32 baud, QString* error);

    QString deviceName() const override { return m_path; }
    QString write(const QByteArray& bytes) override;

private:
    SerialDeviceLine() = default;
    void readAll();
    void reportError(QSerialPort::SerialPortError error);

    QString m_path;
    QSerialPort m_port;
};
