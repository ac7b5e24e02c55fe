#include "RequestGate.h"

#include "HttpConnection.h"

#include <QTcpSocket>

RequestGate::RequestGate(qint64 mostBodyBytes, QObject* parent)
    : QTcpServer(parent), m_mostBodyBytes(mostBodyBytes) {}

RequestGate::~RequestGate() {
    for (QTcpSocket* socket : findChildren<QTcpSocket*>(QString(), Qt::FindDirectChildrenOnly)) {
        socket->flush();
        socket->disconnectFromHost();
    }
}

void RequestGate::stop() {
    close();
    for (HttpConnection* connection : findChildren<HttpConnection*>())
        connection->stop();
}

void RequestGate::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    // Nothing piles up behind a request that waits for its answer, or one
    // too slow to frame: a full buffer leaves the rest to the client's system.
    socket->setReadBufferSize(RequestFraming::mostRequestBytes(limits()));
    auto* connection = new HttpConnection(socket, limits());
    connect(connection, &QObject::destroyed, this, [this] { --m_open; });
    if (++m_open > kMostConnections)
        return connection->refuse(
            503,
            QStringLiteral("The service has %1 connections open; try again later").arg(kMostConnections));
    // Connected before the HTTP server's own slot, so it sees the bytes first.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { arrived(socket); });
    addPendingConnection(socket);
}

RequestFraming::Limits RequestGate::limits() const {
    return {m_mostBodyBytes, kMostHeadBytes, kMostHeaderLines};
}

void RequestGate::arrived(QTcpSocket* socket) {
    // A client that sends requests and reads no answers would have them pile up here.
    if (socket->bytesToWrite() > kMostUnreadAnswerBytes) {
        disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
        return socket->abort();
    }
    HttpConnection* connection = HttpConnection::of(socket);
    // Qt's server reads a request in a transaction until it is whole: what
    // it left unread in one came next; without one, a request begins.
    const RequestFraming::Verdict verdict =
        connection->framer().take(socket->peek(socket->bytesAvailable()), !socket->isTransactionStarted());
    if (verdict.kind == RequestFraming::Verdict::Kind::Refused)
        return connection->refuse(verdict.status, verdict.why);
    connection->arrived(verdict);
}
