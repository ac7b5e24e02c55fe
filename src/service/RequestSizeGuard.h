#pragma once

#include <QTcpServer>

class QTcpSocket;

// The listening side of the HTTP server, which counts what each request
// brings before Qt's HTTP server sees it: that server buffers a whole body,
// however long, before any handler runs. A request that declares a body
// longer than the limit, or brings more bytes than the limit and its head
// allow, gets 413 at once; the rest of it is read and thrown away until the
// client hangs up or a moment has passed. A request that asks to be told to
// continue (Expect: 100-continue), which Qt's server ignores, is told so.
class RequestSizeGuard : public QTcpServer {
    Q_OBJECT
public:
    explicit RequestSizeGuard(qint64 mostBodyBytes, QObject* parent = nullptr);

    // The request on `socket` reached a handler whole: the next one counts from nothing.
    static void requestTaken(QTcpSocket* socket);
    // Why a request is refused with 413.
    QString refusal() const;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void arrived(QTcpSocket* socket);
    void refuse(QTcpSocket* socket);

    qint64 m_mostBodyBytes;
};
