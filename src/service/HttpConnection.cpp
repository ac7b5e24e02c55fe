#include "HttpConnection.h"

#include "HttpReply.h"

#include <QJsonObject>
#include <QTcpSocket>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace {
// How long a refused connection's remaining bytes are read and dropped.
constexpr int kDrainMs = 2000;

// Ends the sending half once the answer is out: the client reads it to the
// end at once, while what it still sends is read and dropped.
void endSending(QTcpSocket* socket) {
    socket->flush();
    if (socket->bytesToWrite() > 0)
        return;
#ifdef Q_OS_WIN
    ::shutdown(SOCKET(socket->socketDescriptor()), SD_SEND);
#else
    ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
#endif
}
} // namespace

HttpConnection::HttpConnection(QTcpSocket* socket, const RequestFraming::Limits& limits)
    : QObject(socket), m_framer(limits) {
    m_deadline.setSingleShot(true);
    // A coarse timer may end a client's 10 s half a second early.
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, &HttpConnection::expired);
    m_deadline.start(kIdleMs);
}

HttpConnection* HttpConnection::of(QTcpSocket* socket) {
    return socket->findChild<HttpConnection*>(QString(), Qt::FindDirectChildrenOnly);
}

QTcpSocket* HttpConnection::socket() const {
    return static_cast<QTcpSocket*>(parent());
}

void HttpConnection::arrived(const RequestFraming::Verdict& verdict) {
    if (verdict.kind == RequestFraming::Verdict::Kind::Whole) {
        m_framed = verdict;
        m_requestBegan.invalidate();
        m_toldToContinue = false;
        m_deadline.start(kIdleMs);
        return;
    }
    if (!m_requestBegan.isValid())
        m_requestBegan.start();
    if (verdict.headWhole && verdict.expectsContinue && !std::exchange(m_toldToContinue, true))
        socket()->write("HTTP/1.1 100 Continue\r\n\r\n");
    m_deadline.start(
        int(qMax(qint64(0), (verdict.headWhole ? kRequestMs : kHeadMs) - m_requestBegan.elapsed())));
}

void HttpConnection::hold() {
    m_held = true;
    m_deadline.stop();
    // Qt's server reads on readyRead; the bytes wait in the socket meanwhile.
    socket()->blockSignals(true);
}

void HttpConnection::release() {
    m_held = false;
    QTcpSocket* socket = this->socket();
    socket->blockSignals(false);
    // What Qt's server does when it sees the client go.
    if (socket->state() == QAbstractSocket::UnconnectedState)
        return socket->deleteLater();
    // Closing: the answer said so.
    if (socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (m_stopping)
        return stop();
    m_deadline.start(kIdleMs);
    if (socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(socket, &QTcpSocket::readyRead, Qt::QueuedConnection);
}

void HttpConnection::refuse(int status, const QString& why) {
    QTcpSocket* socket = this->socket();
    m_deadline.stop();
    // Neither the gate nor Qt's server reads anything more of it.
    disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    if (socket->isTransactionStarted())
        socket->commitTransaction();
    socket->readAll();
    HttpReply::sendJson(socket, status, QJsonObject{{QStringLiteral("error"), why}},
                        {{"Connection", "close"}});
    endSending(socket);
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kDrainMs, socket, [socket] { socket->disconnectFromHost(); });
}

void HttpConnection::upgraded() {
    m_upgraded = true;
    m_deadline.stop();
}

void HttpConnection::stop() {
    m_stopping = true;
    if (m_held || m_upgraded)
        return;
    // What waits is the start of a request, or a request pipelined behind the last.
    if (m_requestBegan.isValid() || socket()->bytesAvailable() > 0)
        return refuse(503, QStringLiteral("The service is stopping"));
    socket()->disconnectFromHost();
}

void HttpConnection::expired() {
    if (!m_requestBegan.isValid())
        return socket()->disconnectFromHost();
    refuse(408, QStringLiteral("The request did not come whole in time (%1 s for its head, %2 s in all)")
                    .arg(kHeadMs / 1000)
                    .arg(kRequestMs / 1000));
}
