#pragma once

#include "SerialDevice.h"
#include "common/RuntimeError.h"

#include <QSerialPort>
#include <QTimer>

// A serial device over QSerialPort: raw 8-bit line, no flow control, no
// character translation. On Windows it also asks the driver for incoming bytes
// on a short timer: under Wine QSerialPort often learns of them only when it
// waits for them, never by itself (and the timer costs nothing on Windows
// proper).
class QtSerialDevice : public SerialDevice {
    Q_OBJECT
public:
    // portNumber 0: a device the operator named by its location.
    QtSerialDevice(int portNumber, const QString& location, QObject* parent = nullptr);

    void open(const LineSettings& settings) override;
    void close() override;
    void write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;

    static SerialDeviceFactory factory();

private:
    void onError(QSerialPort::SerialPortError error);
    // Moves what QSerialPort holds into m_received; readyRead when that grew.
    void takeIncoming();
    // Has QSerialPort fetch what the driver holds, without announcing it.
    void pullFromDriver();
    void pollDriver();
    QString portLabel() const;
    // Writes what the driver takes at once, without QSerialPort; how much.
    qsizetype writeToDriver(const QByteArray& bytes);
    // Drops what waits to be written and says why the write failed.
    RuntimeError writeFailure(const QString& reason);

    int m_portNumber;
    QString m_location;
    QSerialPort m_port;
    QTimer m_readPoll;
    QByteArray m_received;
    bool m_lost = false;
    bool m_pulling = false;
};
