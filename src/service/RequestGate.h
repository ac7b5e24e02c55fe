#pragma once

#include "RequestFraming.h"

#include <QTcpServer>

class QTcpSocket;

// The listening side of the HTTP server, the service's door: it frames every
// request before Qt's HTTP server reads it (RequestFraming) and refuses, and
// closes, a request that is not framed beyond doubt (400), too large (413,
// 431) or too slow (408, HttpConnection's clocks); a request that asks to be
// told to continue (Expect: 100-continue), which Qt's server ignores, is told
// so. At most kMostConnections connections are open; the next is answered
// 503 and closed. A client that leaves a mebibyte of answers unread is let go.
class RequestGate : public QTcpServer {
    Q_OBJECT
public:
    static constexpr int kMostConnections = 512;
    static constexpr qsizetype kMostHeadBytes = 16 * 1024;
    static constexpr int kMostHeaderLines = 100;
    static constexpr qint64 kMostUnreadAnswerBytes = 1 << 20;

    explicit RequestGate(qint64 mostBodyBytes, QObject* parent = nullptr);
    // Written answers go out before the connections close.
    ~RequestGate() override;

    // Takes no more connections; those open close as HttpConnection::stop says.
    void stop();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    RequestFraming::Limits limits() const;
    void arrived(QTcpSocket* socket);

    qint64 m_mostBodyBytes;
    int m_open = 0;
};
