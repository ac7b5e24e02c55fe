#include "HttpConnection.h"

#include "HttpReply.h"

#include <QJsonObject>
#include <QTcpSocket>

namespace {
// How long a refused connection's remaining bytes are read and dropped.
constexpr int kDrainMs = 2000;
} // namespace

HttpConnection::HttpConnection(QTcpSocket* socket) : QObject(socket) {
    m_deadline.setSingleShot(true);
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
    m_deadline.start(kIdleMs);
    if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesAvailable() > 0)
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
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kDrainMs, socket, [socket] { socket->disconnectFromHost(); });
}

void HttpConnection::stop() {
    if (m_held)
        return;
    if (m_requestBegan.isValid())
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
