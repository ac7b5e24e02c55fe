#pragma once

#include "SerialDevice.h"

#include <QSerialPort>

// A serial device over QSerialPort: raw 8-bit line, no flow control, no
// character translation.
class QtSerialDevice : public SerialDevice {
    Q_OBJECT
public:
    QtSerialDevice(int portNumber, const QString& location, QObject* parent = nullptr);

    void open(const LineSettings& settings) override;
    void close() override;
    void write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;

    static SerialDeviceFactory factory();

private:
    void onError(QSerialPort::SerialPortError error);
    QString portLabel() const;

    int m_portNumber;
    QString m_location;
    QSerialPort m_port;
    bool m_lost = false;
};
