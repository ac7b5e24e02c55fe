#pragma once

#include "RequestFraming.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <optional>

class QTcpSocket;

// One client's connection as the service's door keeps it, a child of its
// socket: how long it may stay idle (60 s) or take over a request's head
// (10 s) and the whole request (60 s), the request the gate framed for Qt's
// server to read, and the rule that the next request is read only once the
// last is answered, so that pipelined requests are answered in order.
class HttpConnection : public QObject {
    Q_OBJECT
public:
    static constexpr int kIdleMs = 60000;
    static constexpr int kHeadMs = 10000;
    static constexpr int kRequestMs = 60000;

    HttpConnection(QTcpSocket* socket, const RequestFraming::Limits& limits);
    static HttpConnection* of(QTcpSocket* socket);

    RequestFraming::Framer& framer() { return m_framer; }

    // What the gate found from the current request's start on: part of it
    // (the clock runs; a client that asked is told to send its body), or all
    // of it, which Qt's server reads next.
    void arrived(const RequestFraming::Verdict& verdict);
    // The whole request the gate let through, once: what Qt's server read
    // must agree with it.
    std::optional<RequestFraming::Verdict> takeFramed() { return std::exchange(m_framed, std::nullopt); }

    // The request is answered later: nothing more is read meanwhile, and no
    // clock runs (the command's own limits bound it).
    void hold();
    // Its answer is written: the next request is read.
    void release();
    bool held() const { return m_held; }

    // Answers `status` with `why` and closes: nothing more of the connection
    // is read, what still comes is dropped for a moment so that the client
    // reads the answer rather than a reset.
    void refuse(int status, const QString& why);
    // The connection is a web socket now, no more the door's.
    void upgraded();
    // The service stops: a request under way is answered 503, an idle
    // connection closed; a held one after its answer, the same way.
    void stop();

private:
    QTcpSocket* socket() const;
    void expired();

    RequestFraming::Framer m_framer;
    QTimer m_deadline;
    QElapsedTimer m_requestBegan; // valid while part of a request has come
    bool m_toldToContinue = false;
    bool m_held = false;
    bool m_stopping = false;
    bool m_upgraded = false;
    std::optional<RequestFraming::Verdict> m_framed;
};
