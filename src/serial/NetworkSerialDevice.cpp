#include "NetworkSerialDevice.h"

#include "TcpKeepAlive.h"
#include "TelnetCodec.h"

#include <QEventLoop>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <utility>

namespace {
// Enough for a server's one-line message; the rest is not read.
constexpr int kMaxServerText = 200;
} // namespace

NetworkSerialDevice::NetworkSerialDevice(const QString& name, const NetworkPortAddress& address,
                                         int openLimitMs, QObject* parent)
    : SerialDevice(parent), m_name(name), m_address(address), m_openLimitMs(openLimitMs) {
    // A serial device server stands on the local network, never behind a proxy.
    m_socket.setProxy(QNetworkProxy::NoProxy);
    connect(&m_socket, &QTcpSocket::connected, this, &NetworkSerialDevice::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &NetworkSerialDevice::onReadyRead);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &NetworkSerialDevice::onSocketError);
    // The end of a connection that died quietly (keepalive), which the
    // socket reports as a read timeout before it closes.
    connect(&m_socket, &QTcpSocket::disconnected, this, &NetworkSerialDevice::connectionLost);
    m_settle.setSingleShot(true);
    m_settle.setInterval(kRawSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] { finishOpening(); });
    m_hold.setSingleShot(true);
    connect(&m_hold, &QTimer::timeout, this, [this] { send(std::exchange(m_held, QByteArray())); });
}

void NetworkSerialDevice::open(const LineSettings& settings) {
    m_received.clear();
    m_serverText.clear();
    m_openFailure.reset();
    if (m_address.protocol == NetworkPortAddress::Protocol::Rfc2217)
        m_telnet.emplace(settings);
    else
        m_telnet.reset();
    m_phase = Phase::Opening;

    QEventLoop loop;
    m_openLoop = &loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, this, [this] { finishOpening(noAnswer()); });
    limit.start(m_openLimitMs);
    m_socket.connectToHost(m_address.host, m_address.port);
    // A connection to an address can fail before the loop runs.
    if (m_phase == Phase::Opening)
        loop.exec();
    // Ended from outside: the program quits all its event loops.
    if (m_phase == Phase::Opening)
        finishOpening(
            RuntimeError(ErrorNumber::HardwareNotAvailable,
                         QStringLiteral("%1 was still opening when the program ended").arg(m_name)));
    if (m_openFailure) {
        m_socket.abort();
        throw *m_openFailure;
    }
}

void NetworkSerialDevice::finishOpening(std::optional<RuntimeError> failure) {
    if (m_phase != Phase::Opening)
        return;
    m_settle.stop();
    m_hold.stop();
    m_held.clear();
    m_openFailure = std::move(failure);
    m_phase = m_openFailure ? Phase::Closed : Phase::Open;
    if (m_openLoop)
        m_openLoop->quit();
}

void NetworkSerialDevice::onConnected() {
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    TcpKeepAlive::apply(m_socket.socketDescriptor());
    if (m_telnet) {
        m_held = m_telnet->greeting();
        m_hold.start(kServerFirstMs);
    } else
        m_settle.start();
}

void NetworkSerialDevice::onReadyRead() {
    const QByteArray bytes = m_socket.readAll();
    QByteArray data = bytes;
    QByteArray answer;
    if (m_telnet) {
        Rfc2217Client::Received received = m_telnet->receive(bytes);
        answer = std::move(received.reply);
        data = std::move(received.data);
    }
    // Not the line's bytes yet, but maybe the server's words on why it will
    // not serve us; kept before answering, which can find the server gone.
    if (m_phase == Phase::Opening)
        m_serverText += data.left(kMaxServerText - m_serverText.size());
    if (m_hold.isActive()) {
        m_held += answer;
        m_hold.start(kServerQuietMs);
    } else if (!answer.isEmpty()) {
        send(answer);
    }
    if (m_phase == Phase::Opening) {
        if (m_telnet && m_telnet->stage() == Rfc2217Client::Stage::Ready)
            finishOpening();
        else if (m_telnet && m_telnet->stage() == Rfc2217Client::Stage::Refused)
            finishOpening(
                RuntimeError(ErrorNumber::UnsupportedSettings,
                             QStringLiteral("%1 cannot be used: %2").arg(m_name, m_telnet->refusal())));
        return;
    }
    if (m_phase != Phase::Open || data.isEmpty())
        return;
    m_received += data;
    emit readyRead();
}

void NetworkSerialDevice::onSocketError(QAbstractSocket::SocketError error) {
    // A read that found nothing waiting; the opening has a limit of its own.
    if (error == QAbstractSocket::SocketTimeoutError)
        return;
    if (m_phase == Phase::Opening)
        return finishOpening(openingFailure(error));
    connectionLost();
}

void NetworkSerialDevice::connectionLost() {
    if (m_phase != Phase::Open)
        return;
    m_phase = Phase::Closed;
    emit lost(
        QStringLiteral("%1: the connection to the server was lost (%2)").arg(m_name, m_socket.errorString()));
}

RuntimeError NetworkSerialDevice::openingFailure(QAbstractSocket::SocketError error) const {
    const QString reason = m_socket.errorString();
    // Three of the socket's many errors have words of their own.
    if (error == QAbstractSocket::HostNotFoundError)
        return RuntimeError(
            ErrorNumber::InvalidPortNumber,
            QStringLiteral("%1: no host is known by the name %2 (%3)").arg(m_name, m_address.host, reason));
    if (error == QAbstractSocket::ConnectionRefusedError)
        return RuntimeError(ErrorNumber::InvalidPortNumber,
                            QStringLiteral("%1: no server takes connections at port %2 of %3 (%4)")
                                .arg(m_name)
                                .arg(m_address.port)
                                .arg(m_address.host, reason));
    if (error != QAbstractSocket::RemoteHostClosedError)
        return RuntimeError(ErrorNumber::HardwareNotAvailable,
                            QStringLiteral("%1 cannot be reached (%2)").arg(m_name, reason));
    const QString words = serverWords();
    if (words.contains(QLatin1String("in use"), Qt::CaseInsensitive))
        return RuntimeError(
            ErrorNumber::HardwareNotAvailable,
            QStringLiteral("%1 is in use by another program: the server says \"%2\"").arg(m_name, words));
    if (!words.isEmpty())
        return RuntimeError(ErrorNumber::HardwareNotAvailable,
                            QStringLiteral("%1 cannot be opened: the server says \"%2\"").arg(m_name, words));
    return RuntimeError(ErrorNumber::HardwareNotAvailable,
                        QStringLiteral("%1 cannot be opened: the server hung up").arg(m_name));
}

RuntimeError NetworkSerialDevice::noAnswer() const {
    const int seconds = (m_openLimitMs + 999) / 1000;
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        return RuntimeError(
            ErrorNumber::HardwareNotAvailable,
            QStringLiteral("%1: the server did not set up the line within %2 s").arg(m_name).arg(seconds));
    return RuntimeError(
        ErrorNumber::HardwareNotAvailable,
        QStringLiteral("%1: no answer from %2 within %3 s").arg(m_name, m_address.host).arg(seconds));
}

QString NetworkSerialDevice::serverWords() const {
    static const QRegularExpression lineEnd(QStringLiteral("[\\r\\n]"));
    QString words = QString::fromLatin1(m_serverText).section(lineEnd, 0, 0).trimmed();
    // Only a message in words counts, not bytes of the line.
    for (const QChar c : words)
        if (!c.isPrint())
            return QString();
    return words;
}

bool NetworkSerialDevice::send(const QByteArray& bytes) {
    const bool taken = m_socket.write(bytes) == bytes.size();
    // Out now, not when the event loop next runs: a frame timed to a second
    // boundary must leave at once.
    m_socket.flush();
    return taken;
}

void NetworkSerialDevice::close() {
    m_settle.stop();
    m_hold.stop();
    m_held.clear();
    m_phase = Phase::Closed;
    m_telnet.reset();
    m_socket.disconnectFromHost();
}

void NetworkSerialDevice::write(const QByteArray& bytes) {
    if (m_phase != Phase::Open || m_socket.state() != QAbstractSocket::ConnectedState)
        throw RuntimeError(
            ErrorNumber::WriteFailed,
            QStringLiteral("Error writing to %1: the connection to the server is closed").arg(m_name));
    if (!send(m_telnet ? Telnet::escape(bytes) : bytes))
        throw RuntimeError(ErrorNumber::WriteFailed,
                           QStringLiteral("Error writing to %1: %2").arg(m_name, m_socket.errorString()));
}

QByteArray NetworkSerialDevice::readAll() {
    // The socket is read when the event loop runs; take what the system
    // holds too, or bytes that came while the window was busy would survive
    // a flush and pass for the next answer.
    if (m_phase == Phase::Open)
        while (m_socket.state() == QAbstractSocket::ConnectedState && m_socket.waitForReadyRead(0)) {
        }
    return std::exchange(m_received, QByteArray());
}

qint64 NetworkSerialDevice::bytesAvailable() const {
    return m_received.size();
}

void NetworkSerialDevice::purgeInput() {
    if (m_telnet && m_phase == Phase::Open)
        send(Rfc2217Client::purgeRequest());
}
