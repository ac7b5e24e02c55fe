#pragma once

#include <QJsonObject>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QUrl>
#include <functional>

class QNetworkReply;

// The house page's question to Prometheus (--prometheus): HouseClocks's one
// query on its HTTP API, asked at most once at a time for all the pages that
// wait, bounded in time and size, its answer the JSON of GET /house/clocks or
// an error a page can show. A Prometheus that fails is asked again on the
// next request. Lives in the HTTP server's thread.
class HouseQuery : public QObject {
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 2000;
    static constexpr qint64 kMostAnswerBytes = 4 << 20;

    struct Answer {
        int httpStatus;   // 200; 502 Prometheus unreachable or failing; 504 too slow
        QJsonObject body; // {"clocks":[...]} or {"error":"..."}
    };
    using Answered = std::function<void(const Answer&)>;

    // `prometheus`: its base address, as http://127.0.0.1:9090.
    explicit HouseQuery(const QUrl& prometheus, QObject* parent = nullptr);

    // Calls `answered` once, within kTimeoutMs and a little.
    void ask(const Answered& answered);

private:
    void finished(QNetworkReply* reply, bool timedOut, bool tooLarge);

    QUrl m_queryUrl;
    QNetworkAccessManager m_network;
    QList<Answered> m_waiting; // while a query is under way
};
