#include "RequestSizeGuard.h"

#include "HttpReply.h"

#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>

namespace {
// Room for the request line and the headers beside the body.
constexpr qint64 kMostHeadBytes = 16 * 1024;
// How long a refused request's remaining bytes are read and dropped, so that
// the client reads the 413 instead of a reset connection.
constexpr int kDrainMs = 2000;
const char* const kCounted = "varoRequestBytes";

// What the head of a request says of its body, once the head is whole.
struct Head {
    bool whole = false;
    qint64 contentLength = -1;
    bool expectsContinue = false;
};

Head headOf(const QByteArray& bytes) {
    Head head;
    qsizetype end = bytes.indexOf("\r\n\r\n");
    if (end < 0)
        end = bytes.indexOf("\n\n");
    if (end < 0)
        return head;
    head.whole = true;
    for (const QByteArray& line : bytes.left(end).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length")
            head.contentLength = value.toLongLong();
        else if (name == "expect")
            head.expectsContinue = value.compare("100-continue", Qt::CaseInsensitive) == 0;
    }
    return head;
}
} // namespace

RequestSizeGuard::RequestSizeGuard(qint64 mostBodyBytes, QObject* parent)
    : QTcpServer(parent), m_mostBodyBytes(mostBodyBytes) {}

void RequestSizeGuard::requestTaken(QTcpSocket* socket) {
    socket->setProperty(kCounted, qint64(0));
}

QString RequestSizeGuard::refusal() const {
    return QStringLiteral("The request is larger than %1 KiB").arg(m_mostBodyBytes / 1024);
}

void RequestSizeGuard::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    // Connected before the HTTP server's own slot, so it sees the bytes first.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { arrived(socket); });
    addPendingConnection(socket);
}

void RequestSizeGuard::arrived(QTcpSocket* socket) {
    // The HTTP server takes all that waits each time; what waits now is new.
    const qint64 counted = socket->property(kCounted).toLongLong();
    const qint64 waiting = socket->bytesAvailable();
    if (counted == 0) {
        const Head head = headOf(socket->peek(kMostHeadBytes));
        if (head.whole && head.contentLength > m_mostBodyBytes)
            return refuse(socket);
        if (head.whole && head.expectsContinue)
            socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    }
    if (counted + waiting > m_mostBodyBytes + kMostHeadBytes)
        return refuse(socket);
    socket->setProperty(kCounted, counted + waiting);
}

void RequestSizeGuard::refuse(QTcpSocket* socket) {
    // The HTTP server reads nothing more of this connection.
    disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    if (socket->isTransactionStarted())
        socket->commitTransaction();
    socket->readAll();
    HttpReply::sendJson(
        socket, 413,
        QJsonObject{{QStringLiteral("error"),
                     QStringLiteral("The request is larger than %1 KiB").arg(m_mostBodyBytes / 1024)}},
        {{"Connection", "close"}});
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    QTimer::singleShot(kDrainMs, socket, [socket] { socket->disconnectFromHost(); });
}
