#include "QtSerialDevice.h"

#include "PortHolders.h"
#include "PortNames.h"
#include "common/RuntimeError.h"

#include <QFileInfo>
#include <QScopedValueRollback>
#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
constexpr bool kPollsReads = true;
#else
constexpr bool kPollsReads = false;
#endif
// Often enough that a 50-byte answer at 38400 baud waits no more than the
// line took; rarely enough to cost nothing.
constexpr int kReadPollMs = 15;

QSerialPort::Parity toParity(char letter) {
    switch (letter) {
    case 'e':
        return QSerialPort::EvenParity;
    case 'o':
        return QSerialPort::OddParity;
    case 'm':
        return QSerialPort::MarkParity;
    case 's':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

// Longest a write may take to leave: the bytes' time on the line at the
// slowest speed plus a generous margin for a slow USB adapter.
int writeTimeoutMs(qint64 bytes, int baudRate) {
    return 1000 + int(bytes * 10 * 1000 / qMax(baudRate, 1));
}

#ifdef Q_OS_UNIX
bool lacksAccessRights(const QString& location) {
    return ::access(QFile::encodeName(location).constData(), R_OK | W_OK) != 0 &&
           (errno == EACCES || errno == EPERM);
}
#endif

} // namespace

QtSerialDevice::QtSerialDevice(int portNumber, const QString& location, QObject* parent)
    : SerialDevice(parent), m_portNumber(portNumber), m_location(location) {
    // Keep the full path: QSerialPort shortens /dev/pts/N to pts/N.
    m_port.setPortName(location);
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialDevice::takeIncoming);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialDevice::onError);
    m_readPoll.setInterval(kReadPollMs);
    connect(&m_readPoll, &QTimer::timeout, this, &QtSerialDevice::pollDriver);
}

SerialDeviceFactory QtSerialDevice::factory() {
    return [](int portNumber) -> std::unique_ptr<SerialDevice> {
        return std::make_unique<QtSerialDevice>(portNumber, PortNames::deviceForPort(portNumber));
    };
}

QString QtSerialDevice::portLabel() const {
    // A device named outright rather than by its number in the port list.
    if (m_portNumber == 0)
        return m_location;
    return QStringLiteral("Com%1 (%2)").arg(m_portNumber).arg(m_location);
}

void QtSerialDevice::open(const LineSettings& settings) {
    m_lost = false;
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = m_port.error();
        const QString reason = m_port.errorString();
        m_port.clearError();
        // Windows' COMn is no file, and its driver tells a missing port apart.
        bool missing = error == QSerialPort::DeviceNotFoundError;
#ifdef Q_OS_UNIX
        missing = missing || !QFileInfo::exists(m_location);
#endif
        if (missing)
            throw RuntimeError(ErrorNumber::InvalidPortNumber,
                               QStringLiteral("%1 does not exist (%2)").arg(portLabel(), reason));
#ifdef Q_OS_UNIX
        if (error == QSerialPort::PermissionError && lacksAccessRights(m_location))
            throw RuntimeError(
                ErrorNumber::NoPermission,
                QStringLiteral("No permission to open %1: the user must be in the dialout group "
                               "(sudo usermod -aG dialout $USER, then log in again)")
                    .arg(portLabel()));
#endif
        if (error == QSerialPort::PermissionError) {
            const std::optional<PortHolders::Holder> holder = PortHolders::find(m_location);
            throw RuntimeError(
                ErrorNumber::HardwareNotAvailable,
                holder ? QStringLiteral("%1 is in use by another program: %2")
                             .arg(portLabel(), holder->describe())
                       : QStringLiteral("%1 is in use by another program (%2)").arg(portLabel(), reason));
        }
        throw RuntimeError(ErrorNumber::HardwareNotAvailable,
                           QStringLiteral("%1 cannot be opened (%2)").arg(portLabel(), reason));
    }
    // Opened, but maybe shared with a program that did not ask for
    // exclusive use: two programs on one line garble each other's frames.
    if (const std::optional<PortHolders::Holder> holder = PortHolders::find(m_location)) {
        m_port.close();
        throw RuntimeError(
            ErrorNumber::HardwareNotAvailable,
            QStringLiteral("%1 is in use by another program: %2").arg(portLabel(), holder->describe()));
    }
    const bool applied =
        m_port.setBaudRate(settings.baudRate) &&
        m_port.setDataBits(QSerialPort::DataBits(settings.dataBits)) &&
        m_port.setParity(toParity(settings.parity)) &&
        m_port.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
        m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied) {
        const QString reason = m_port.errorString();
        m_port.close();
        throw RuntimeError(ErrorNumber::UnsupportedSettings,
                           QStringLiteral("%1 does not take the settings %2 (%3)")
                               .arg(portLabel(), settings.toString(), reason));
    }
    // Bytes that reached the driver before this open are not ours to decode.
    m_port.clear();
    m_received.clear();
    if (kPollsReads)
        m_readPoll.start();
}

void QtSerialDevice::close() {
    m_readPoll.stop();
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

void QtSerialDevice::write(const QByteArray& bytes) {
    const qsizetype direct = writeToDriver(bytes);
    if (direct == bytes.size())
        return;
    const QByteArray rest = bytes.mid(direct);
    const qint64 accepted = m_port.write(rest);
    // Push the bytes to the driver now, so that a frame timed to a second
    // boundary leaves at once and a refused write is reported, never assumed.
    const bool flushed = accepted == rest.size() &&
                         (m_port.bytesToWrite() == 0 ||
                          m_port.waitForBytesWritten(writeTimeoutMs(rest.size(), m_port.baudRate())));
    if (!flushed || m_port.bytesToWrite() > 0)
        throw writeFailure(m_port.errorString());
}

qsizetype QtSerialDevice::writeToDriver(const QByteArray& bytes) {
#ifdef Q_OS_UNIX
    // QSerialPort would queue the bytes and poll the device before writing
    // them: after a second boundary that is time lost. Only while nothing of
    // its own waits, so that the bytes keep their order.
    if (m_port.bytesToWrite() > 0)
        return 0;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count =
            ::write(m_port.handle(), bytes.constData() + written, size_t(bytes.size() - written));
        if (count >= 0)
            written += count;
        else if (errno == EAGAIN || errno == EWOULDBLOCK)
            break; // the driver's buffer is full: QSerialPort waits for room
        else if (errno != EINTR)
            throw writeFailure(qt_error_string(errno));
    }
    return written;
#else
    Q_UNUSED(bytes);
    return 0;
#endif
}

RuntimeError QtSerialDevice::writeFailure(const QString& reason) {
    m_port.clear(QSerialPort::Output);
    return RuntimeError(ErrorNumber::WriteFailed,
                        QStringLiteral("Error writing to %1: %2").arg(portLabel(), reason));
}

QByteArray QtSerialDevice::readAll() {
    // QSerialPort fetches from the driver only when the event loop runs; take
    // what the driver holds too, or bytes that came while the window was busy
    // would survive a flush and pass for the next answer.
    pullFromDriver();
    m_received += m_port.readAll();
    return std::exchange(m_received, QByteArray());
}

qint64 QtSerialDevice::bytesAvailable() const {
    return m_received.size() + m_port.bytesAvailable();
}

void QtSerialDevice::takeIncoming() {
    // Bytes announced while pulling are taken by whoever pulled, so that no
    // reader is called back from within its own read.
    if (m_pulling)
        return;
    const QByteArray bytes = m_port.readAll();
    if (bytes.isEmpty())
        return;
    m_received += bytes;
    emit readyRead();
}

void QtSerialDevice::pullFromDriver() {
    const QScopedValueRollback<bool> pulling(m_pulling, true);
    while (m_port.waitForReadyRead(0)) {
    }
}

void QtSerialDevice::pollDriver() {
    pullFromDriver();
    takeIncoming();
}

void QtSerialDevice::onError(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    // A vanished device makes QSerialPort repeat this error endlessly while the
    // port stays open: report it once and close from the event loop.
    if (m_lost)
        return;
    m_lost = true;
    // errorString() here is a leftover of an earlier call, not the cause.
    const QString reason =
        QStringLiteral("%1 stopped working: the device was unplugged or its far end closed").arg(portLabel());
    QTimer::singleShot(0, this, [this] { close(); });
    emit lost(reason);
}
