#pragma once

#include "LineSettings.h"
#include "SerialDevice.h"
#include "common/RuntimeError.h"

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
    // Also returns from a named device to the numbered ports.
    void setCommPort(int portNumber);

    // A device the operator named (a path or COM17), used instead of the
    // port number while set; an empty name returns to the port number. Only
    // while the port is closed, and only with a named-device factory.
    QString DeviceName() const { return m_deviceName; }
    void setDeviceName(const QString& location);
    void setNamedDeviceFactory(NamedSerialDeviceFactory factory) { m_namedFactory = std::move(factory); }

    QString Settings() const { return m_settingsText; }
    void setSettings(const QString& text);

    bool PortOpen() const { return m_device != nullptr; }
    void setPortOpen(bool open);

    // Opens the named device at the port's settings and only then closes the
    // open one (closed, then opened, are emitted); when the device cannot be
    // opened, its error is raised and the open port stays as it was.
    void openInstead(const QString& location);

    // Raises the error Output and Input would raise when the port is not open.
    void requireOpen() const { openDevice(); }

    void Output(const QByteArray& bytes);
    QByteArray Input();
    // Input for the flush before a command: also asks the device to drop what
    // is still on its way (a network port's server purges its buffer).
    QByteArray Flush();
    int InBufferCount() const;

signals:
    // New bytes are waiting.
    void readyRead();
    // The port was opened.
    void opened();
    // The open port was closed, by the program or because its device failed.
    void closed();
    // The open device failed, also while no command runs; the port has been
    // closed. The error says why.
    void lineLost(const RuntimeError& error);
    // Bytes that Output wrote and bytes that Input took, for the frame record.
    void written(const QByteArray& bytes);
    void taken(const QByteArray& bytes);

private:
    SerialDevice& openDevice() const;
    // Makes an opened device the port's.
    void openGuarded(SerialDevice& device);
    void take(std::unique_ptr<SerialDevice> device);
    void onDeviceLost(const QString& reason);

    SerialDeviceFactory m_factory;
    NamedSerialDeviceFactory m_namedFactory;
    QString m_deviceName;
    std::unique_ptr<SerialDevice> m_device;
    // A network device opens while events run: nothing may change the port
    // under it meanwhile.
    bool m_opening = false;
    int m_portNumber = 1;
    QString m_settingsText = QStringLiteral("9600,n,8,1");
    LineSettings m_settings;
    // Why the device went away, until the port is set or opened again: the
    // next Output or Input says so rather than just "not open".
    QString m_lossReason;
};
