#pragma once

#include "LineSettings.h"
#include "SerialDevice.h"

#include <QObject>

// The window's one serial port object. Its properties follow the classic
// serial control the operators' workflow was built around: a port number,
// a settings text, an open flag, Output, Input and InBufferCount. Every
// failure throws RuntimeError with a number and a description.
class SerialPortComponent : public QObject {
    Q_OBJECT
public:
    explicit SerialPortComponent(SerialDeviceFactory factory, QObject* parent = nullptr);
    ~SerialPortComponent() override;

    int CommPort() const { return m_portNumber; }
    void setCommPort(int portNumber);

    QString Settings() const { return m_settingsText; }
    void setSettings(const QString& text);

    bool PortOpen() const { return m_device != nullptr; }
    void setPortOpen(bool open);

    void Output(const QByteArray& bytes);
    QByteArray Input();
    int InBufferCount() const;

signals:
    // New bytes are waiting.
    void readyRead();
    // The open port was closed, by the program or because its device failed.
    void closed();
    // The open device failed, also while no command runs; the port has been
    // closed. The error number and description say why.
    void lineLost(int errorNumber, const QString& description);

private:
    SerialDevice& openDevice() const;
    void onDeviceLost(const QString& reason);

    SerialDeviceFactory m_factory;
    std::unique_ptr<SerialDevice> m_device;
    int m_portNumber = 1;
    QString m_settingsText = QStringLiteral("9600,n,8,1");
    LineSettings m_settings;
    // Why the device went away, until the port is set or opened again: the
    // next Output or Input says so rather than just "not open".
    QString m_lossReason;
};
