#pragma once

#include "AccessToken.h"
#include "ClockService.h"
#include "CrossSiteGuard.h"
#include "HttpReply.h"
#include "ServiceStatus.h"

#include <QAbstractHttpServer>
#include <QHash>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <optional>

class ComputerClockReader;
class HouseQuery;
class QWebSocket;
class RequestGate;

// The service's HTTP and WebSocket API on Qt's HTTP server: its routes, the
// token, the errors as JSON, the web socket /live and the building's clocks
// for the house page (HouseQuery). Each command goes to the clock service, in
// its own thread, and its answer is written when it comes; meanwhile every
// other connection is answered. The requests come through the gate
// (RequestGate), and pass the guard against other sites (CrossSiteGuard)
// before their routes. Lives in a thread of its own.
class HttpApi : public QAbstractHttpServer {
    Q_OBJECT
public:
    static constexpr qint64 kMostBodyBytes = 64 * 1024;

    // `allowedHosts`: the names --allow-host adds; `prometheus`: the house
    // page's, empty for none.
    HttpApi(ClockService& service, const ComputerClockReader& computerClock, std::optional<AccessToken> token,
            const QStringList& allowedHosts = {}, const QUrl& prometheus = {}, QObject* parent = nullptr);

    // Listens on `address`:`port` (port 0: any free one); false, with
    // `error`, when it cannot.
    bool serve(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const;
    // Takes no more requests: stops listening, answers a request under way
    // 503, closes idle connections and web sockets; a command's client is
    // answered when its command ends.
    void stopTaking();

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    // How an answer goes back on the connection a request came on.
    struct Client {
        QPointer<QTcpSocket> socket;
        bool close = false; // the client asked to close after the answer
    };
    using View = void (HttpApi::*)(const Client& client);
    // The service's own paths; the commands' come from their commands.
    struct ViewRoute {
        QHttpServerRequest::Method method;
        const char* path;
        View view;
    };
    static const ViewRoute kViews[];

    void route(const QHttpServerRequest& request, const Client& client);
    void runCommand(const ClockRequest& request, const Client& client);
    void answer(quint64 ticket, const ServedCommand& served);
    void sendStatus(const Client& client);
    void sendMetrics(const Client& client);
    void sendHouseClocks(const Client& client);
    void refusePlainLive(const Client& client);
    void refuse(const Client& client, int status, const QString& why, const HttpReply::Headers& headers = {});

    void takeWebSockets();
    void push(const QJsonObject& message);
    // The status with `event` under `key`: a command's answer, a correction.
    void pushWith(const QString& key, const QJsonObject& event);
    ServiceStatus currentStatus() const;
    QJsonObject statusJson() const;

    ClockService& m_service;
    const ComputerClockReader& m_computerClock;
    std::optional<AccessToken> m_token;
    CrossSiteGuard m_crossSite;
    RequestGate* m_gate = nullptr;
    HouseQuery* m_house = nullptr; // none without --prometheus
    bool m_stopping = false;
    // Why the web socket upgrade handleRequest() declined is refused, for missingHandler().
    std::optional<CrossSiteGuard::Refusal> m_upgradeRefusal;
    QHash<quint64, Client> m_waiting; // by ticket, the commands under way
    quint64 m_lastTicket = 0;
    QList<QWebSocket*> m_live;
    QJsonArray m_recentCommands; // the last commands' answers, oldest first
};
