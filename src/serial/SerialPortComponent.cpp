#include "SerialPortComponent.h"

#include "PortNames.h"
#include "common/RuntimeError.h"

#include <QScopedValueRollback>

SerialPortComponent::SerialPortComponent(SerialDeviceFactory factory, QObject* parent)
    : QObject(parent), m_factory(std::move(factory)) {}

SerialPortComponent::~SerialPortComponent() {
    if (m_device)
        m_device->close();
}

void SerialPortComponent::setCommPort(int portNumber) {
    if (m_device || m_opening)
        throw RuntimeError(ErrorNumber::InvalidWhileOpen,
                           QStringLiteral("Operation not valid while the port is opened"));
    if (portNumber < PortNames::kFirstPort || portNumber > PortNames::kLastPort)
        throw RuntimeError(ErrorNumber::InvalidPortNumber,
                           QStringLiteral("Invalid port number %1: ports 1 to 16 exist").arg(portNumber));
    m_portNumber = portNumber;
    m_lossReason.clear();
    m_deviceName.clear();
}

void SerialPortComponent::setDeviceName(const QString& location) {
    if (m_device || m_opening)
        throw RuntimeError(ErrorNumber::InvalidWhileOpen,
                           QStringLiteral("Operation not valid while the port is opened"));
    if (!location.isEmpty() && !m_namedFactory)
        throw RuntimeError(ErrorNumber::InvalidPortNumber,
                           QStringLiteral("%1: only the listed ports can be opened here").arg(location));
    m_deviceName = location;
}

void SerialPortComponent::setSettings(const QString& text) {
    const std::optional<LineSettings> parsed = LineSettings::parse(text);
    if (!parsed)
        throw RuntimeError(
            ErrorNumber::InvalidPropertyValue,
            QStringLiteral("Invalid property value: \"%1\" is not a line setting such as 9600,n,8,1")
                .arg(text));
    m_settings = *parsed;
    m_settingsText = text;
}

void SerialPortComponent::setPortOpen(bool open) {
    m_lossReason.clear();
    if (!open) {
        if (m_device) {
            m_device->close();
            m_device.reset();
            emit closed();
        }
        return;
    }
    if (m_device)
        throw RuntimeError(ErrorNumber::AlreadyOpen, QStringLiteral("Port already open"));
    if (m_opening)
        throw RuntimeError(ErrorNumber::AlreadyOpen, QStringLiteral("Port is still opening"));
    std::unique_ptr<SerialDevice> device =
        m_deviceName.isEmpty() ? m_factory(m_portNumber) : m_namedFactory(m_deviceName);
    openGuarded(*device);
    take(std::move(device));
}

void SerialPortComponent::openInstead(const QString& location) {
    if (!m_namedFactory)
        throw RuntimeError(ErrorNumber::InvalidPortNumber,
                           QStringLiteral("%1: only the listed ports can be opened here").arg(location));
    if (m_opening)
        throw RuntimeError(ErrorNumber::AlreadyOpen, QStringLiteral("Port is still opening"));
    std::unique_ptr<SerialDevice> device = m_namedFactory(location);
    openGuarded(*device);
    setPortOpen(false);
    m_deviceName = location;
    take(std::move(device));
}

void SerialPortComponent::openGuarded(SerialDevice& device) {
    // A network device opens while events run: nothing may change the port meanwhile.
    const QScopedValueRollback<bool> opening(m_opening, true);
    device.open(m_settings);
}

void SerialPortComponent::take(std::unique_ptr<SerialDevice> device) {
    connect(device.get(), &SerialDevice::readyRead, this, &SerialPortComponent::readyRead);
    connect(device.get(), &SerialDevice::lost, this, &SerialPortComponent::onDeviceLost,
            Qt::QueuedConnection);
    m_device = std::move(device);
    emit opened();
}

SerialDevice& SerialPortComponent::openDevice() const {
    if (!m_device && !m_lossReason.isEmpty())
        throw RuntimeError(ErrorNumber::DeviceLost, m_lossReason);
    if (!m_device)
        throw RuntimeError(
            ErrorNumber::NotOpen,
            QStringLiteral("Operation valid only when the port is open: choose a serial port first"));
    return *m_device;
}

void SerialPortComponent::Output(const QByteArray& bytes) {
    openDevice().write(bytes);
    emit written(bytes);
}

QByteArray SerialPortComponent::Input() {
    const QByteArray bytes = openDevice().readAll();
    if (!bytes.isEmpty())
        emit taken(bytes);
    return bytes;
}

QByteArray SerialPortComponent::Flush() {
    const QByteArray bytes = Input();
    m_device->purgeInput();
    return bytes;
}

int SerialPortComponent::InBufferCount() const {
    return m_device ? int(m_device->bytesAvailable()) : 0;
}

void SerialPortComponent::onDeviceLost(const QString& reason) {
    // Queued: the port may have been closed or reopened on another device since.
    if (!m_device || sender() != m_device.get())
        return;
    m_device->close();
    m_device.reset();
    m_lossReason = reason;
    emit lineLost(RuntimeError(ErrorNumber::DeviceLost, reason));
    emit closed();
}
