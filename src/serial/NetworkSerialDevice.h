#pragma once

#include "NetworkPortAddress.h"
#include "Rfc2217Client.h"
#include "SerialDevice.h"
#include "common/RuntimeError.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <optional>

class QEventLoop;

// A serial line reached over TCP through a serial device server or ser2net:
// rfc2217:// sets the line from here (telnet with the COM-PORT-OPTION),
// socket:// carries raw bytes at the speed the server has. Opening lets
// events run, so a window never freezes on a host out of reach, and gives up
// after a few seconds. Frames leave at once (TCP_NODELAY), and a far end
// that goes silently away is noticed within seconds (TCP keepalive) and the
// device lost with the reason.
class NetworkSerialDevice : public SerialDevice {
    Q_OBJECT
public:
    // Name look-up, connection and negotiation together.
    static constexpr int kOpenLimitMs = 5000;
    // How long a raw connection is watched once made: a ser2net port that is
    // in use says so and hangs up at once, with nothing else to tell it by.
    static constexpr int kRawSettleMs = 300;
    // How long telnet's first words wait for the server to speak first, and
    // then for it to fall quiet: ser2net says its port is in use and hangs
    // up at once, and bytes of ours it has not read by then make its system
    // reset the connection, dropping the words it had not sent yet.
    static constexpr int kServerFirstMs = 200;
    static constexpr int kServerQuietMs = 50;

    // `name` is how the operator wrote the address, for the messages.
    NetworkSerialDevice(const QString& name, const NetworkPortAddress& address,
                        int openLimitMs = kOpenLimitMs, QObject* parent = nullptr);

    void open(const LineSettings& settings) override;
    void close() override;
    void write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;
    void purgeInput() override;

private:
    enum class Phase { Closed, Opening, Open };

    void onConnected();
    void onReadyRead();
    void onSocketError(QAbstractSocket::SocketError error);
    // The open connection ended: the device is lost, once.
    void connectionLost();
    void finishOpening(std::optional<RuntimeError> failure = std::nullopt);
    RuntimeError openingFailure(QAbstractSocket::SocketError error) const;
    RuntimeError noAnswer() const;
    // The first line a server wrote as plain text while opening, such as
    // ser2net's "Port already in use".
    QString serverWords() const;
    // Whether the socket took all the bytes.
    bool send(const QByteArray& bytes);

    QString m_name;
    NetworkPortAddress m_address;
    int m_openLimitMs;
    QTcpSocket m_socket;
    std::optional<Rfc2217Client> m_telnet; // rfc2217:// only
    Phase m_phase = Phase::Closed;
    QPointer<QEventLoop> m_openLoop;
    std::optional<RuntimeError> m_openFailure;
    QTimer m_settle;
    QTimer m_hold; // telnet's words held while the server speaks
    QByteArray m_held;
    QByteArray m_serverText;
    QByteArray m_received;
};
