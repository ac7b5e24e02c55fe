#include "HttpApi.h"

#include "ClockService.h"
#include "CommandDecoder.h"
#include "CommandReport.h"
#include "HouseQuery.h"
#include "HttpConnection.h"
#include "LivePage.h"
#include "RequestGate.h"
#include "protocol/ComputerClockReader.h"

#include <QJsonDocument>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>

namespace {
using Method = QHttpServerRequest::Method;

constexpr int kListenBacklog = 256;
// Pushes only: a client's messages are never read, so keep them small.
constexpr qint64 kMostLiveMessageBytes = 4096;
// A client that reads nothing for minutes is let go before its pushes pile up.
constexpr qint64 kMostUnsentLiveBytes = 1 << 20;
// What a new /live client is told of the commands before it came.
constexpr qsizetype kRecentCommands = 10;

bool isWebSocketUpgrade(const QHttpServerRequest& request) {
    // As Qt's server tells an upgrade from a plain request.
    return request.value("connection").toLower().contains("upgrade") &&
           request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
}

QByteArray methodName(Method method) {
    switch (method) {
    case Method::Get:
        return "GET";
    case Method::Put:
        return "PUT";
    case Method::Post:
        return "POST";
    case Method::Delete:
        return "DELETE";
    case Method::Head:
        return "HEAD";
    case Method::Options:
        return "OPTIONS";
    case Method::Patch:
        return "PATCH";
    case Method::Trace:
        return "TRACE";
    case Method::Connect:
        return "CONNECT";
    case Method::Unknown:
    case Method::AnyKnown:
        break;
    }
    return QByteArray();
}

// A web socket message.
QString textOf(const QJsonObject& message) {
    return QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

// What the placeholders of `pattern` ("/settings/{clock}") hold in
// `requested`, one segment each; nothing when the path is another.
std::optional<QHash<QString, QString>> matches(const QString& requested, const QString& pattern) {
    const QStringList want = pattern.split(QLatin1Char('/'));
    const QStringList have = requested.split(QLatin1Char('/'));
    if (want.size() != have.size())
        return std::nullopt;
    QHash<QString, QString> values;
    for (qsizetype i = 0; i < want.size(); ++i) {
        if (want[i].startsWith(QLatin1Char('{')) && want[i].endsWith(QLatin1Char('}')) && !have[i].isEmpty())
            values.insert(want[i].mid(1, want[i].size() - 2), have[i]);
        else if (want[i] != have[i])
            return std::nullopt;
    }
    return values;
}

// The commands' routes, each once: method and path.
QList<std::pair<QByteArray, QString>> commandRoutes() {
    QList<std::pair<QByteArray, QString>> routes;
    for (const ClockCommand* command : ClockCommands::all()) {
        const std::pair<QByteArray, QString> route{command->httpMethod.toLatin1(), command->httpPath};
        if (!command->httpPath.isEmpty() && !routes.contains(route))
            routes << route;
    }
    return routes;
}
// The type of the body the commands at a route take: a settings file, or JSON.
QByteArray bodyType(const QList<const ClockCommand*>& sharing) {
    for (const ClockCommand* command : sharing)
        for (const CommandArgument& argument : command->arguments)
            if (argument.input == CommandArgument::Input::SettingsFile)
                return "text/plain";
    return "application/json";
}

// The status of a command refused before it reached the line.
int refusalStatus(ServedCommand::Refusal refusal) {
    switch (refusal) {
    case ServedCommand::Refusal::PortClosed:
        return 503;
    case ServedCommand::Refusal::LineHeld:
    case ServedCommand::Refusal::NeedsForce:
        return 409;
    case ServedCommand::Refusal::None:
        break;
    }
    return 200;
}
} // namespace

const HttpApi::ViewRoute HttpApi::kViews[] = {
    {Method::Get, "/status", &HttpApi::sendStatus},
    {Method::Get, "/metrics", &HttpApi::sendMetrics},
    {Method::Get, "/live", &HttpApi::refusePlainLive},
    {Method::Get, "/house/clocks", &HttpApi::sendHouseClocks},
};

HttpApi::HttpApi(ClockService& service, const ComputerClockReader& computerClock,
                 std::optional<AccessToken> token, const QStringList& allowedHosts, const QUrl& prometheus,
                 QObject* parent)
    : QAbstractHttpServer(parent), m_service(service), m_computerClock(computerClock),
      m_token(std::move(token)), m_crossSite(allowedHosts) {
    if (!prometheus.isEmpty())
        m_house = new HouseQuery(prometheus, this);
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &HttpApi::takeWebSockets);
    // From the clock service's thread, queued into this one.
    connect(&service, &ClockService::commandFinished, this, [this](const ServedCommand& served) {
        const QJsonObject report = CommandReport::of(served.request, served.outcome, served.traffic).body;
        m_recentCommands.append(report);
        if (m_recentCommands.size() > kRecentCommands)
            m_recentCommands.removeFirst();
        pushWith(QStringLiteral("command"), report);
    });
    connect(&service, &ClockService::changed, this, [this] {
        if (!m_live.isEmpty())
            push(statusJson());
    });
    connect(&service, &ClockService::corrected, this,
            [this](qint64 offsetBeforeUs, std::optional<qint64> offsetAfterUs, bool taken) {
                pushWith(QStringLiteral("correction"),
                         {{QStringLiteral("offsetBeforeMs"), double(offsetBeforeUs) / 1000},
                          {QStringLiteral("offsetAfterMs"), offsetAfterUs
                                                                ? QJsonValue(double(*offsetAfterUs) / 1000)
                                                                : QJsonValue(QJsonValue::Null)},
                          {QStringLiteral("taken"), taken}});
            });
}

bool HttpApi::serve(const QHostAddress& address, quint16 port, QString* error) {
    m_gate = new RequestGate(kMostBodyBytes, this);
    // Room for many clients connecting at once, Prometheus and a control
    // room's buttons alike; the system's default queue holds 50.
    m_gate->setListenBacklogSize(kListenBacklog);
    if (!m_gate->listen(address, port)) {
        *error = m_gate->errorString();
        return false;
    }
    bind(m_gate);
    return true;
}

quint16 HttpApi::port() const {
    return m_gate->serverPort();
}

void HttpApi::stopTaking() {
    m_stopping = true;
    for (QWebSocket* socket : QList<QWebSocket*>(m_live))
        socket->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("the service is stopping"));
    m_gate->stop();
}

bool HttpApi::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    HttpConnection* connection = HttpConnection::of(socket);
    const std::optional<RequestFraming::Verdict> framed = connection->takeFramed();
    // Qt's server upgrades whatever a handler takes; declined, it closes
    // after missingHandler().
    const bool upgrade = isWebSocketUpgrade(request);
    // What Qt's server read must be the request the gate framed: a request
    // read two ways runs neither way.
    if (!framed || framed->bodyBytes != request.body().size() ||
        framed->headerLines != request.headers().size()) {
        connection->refuse(400, QStringLiteral("The request is framed unclearly"));
        return !upgrade;
    }
    if (m_stopping) {
        connection->refuse(503, QStringLiteral("The service is stopping"));
        return !upgrade;
    }
    const std::optional<CrossSiteGuard::Refusal> refusal =
        m_crossSite.refusal(request, socket->localAddress());
    if (upgrade) {
        // The token is checked on the web socket, which a browser cannot give headers.
        if (!refusal && request.url().path() == QLatin1String("/live") && request.method() == Method::Get) {
            connection->upgraded();
            return true;
        }
        m_upgradeRefusal = refusal.value_or(
            CrossSiteGuard::Refusal{404, QStringLiteral("No such path: ") + request.url().path()});
        return false;
    }
    const Client client{socket, framed->closes};
    if (refusal)
        refuse(client, refusal->status, refusal->why);
    else
        route(request, client);
    return true;
}

void HttpApi::missingHandler(const QHttpServerRequest&, QTcpSocket* socket) {
    // Nothing when the connection has its answer already.
    if (const std::optional<CrossSiteGuard::Refusal> refusal = std::exchange(m_upgradeRefusal, std::nullopt))
        refuse({socket, true}, refusal->status, refusal->why);
}

void HttpApi::route(const QHttpServerRequest& request, const Client& client) {
    const QString path = request.url().path();
    // Before the token: the page asks for it.
    if (LivePage::serves(path))
        return request.method() == Method::Get
                   ? LivePage::send(client.socket, path, client.close)
                   : refuse(client, 405, path + QStringLiteral(" takes GET"), {{"Allow", "GET"}});
    if (m_token && !m_token->admitsAuthorization(request.value("authorization")))
        return refuse(client, 401,
                      QStringLiteral("Missing or wrong token: send \"Authorization: Bearer <token>\""),
                      {{"WWW-Authenticate", "Bearer realm=\"varo-clock-service\""}});
    QByteArrayList allowed;
    for (const ViewRoute& view : kViews) {
        if (path != QLatin1String(view.path))
            continue;
        if (view.method == request.method())
            return (this->*view.view)(client);
        allowed << methodName(view.method);
    }
    for (const auto& [method, pattern] : commandRoutes()) {
        const std::optional<QHash<QString, QString>> values = matches(path, pattern);
        if (!values)
            continue;
        if (method != methodName(request.method())) {
            allowed << method;
            continue;
        }
        const QList<const ClockCommand*> sharing =
            ClockCommands::byRoute(QString::fromLatin1(method), pattern);
        if (method != "GET")
            if (const auto wrongType = CrossSiteGuard::bodyTypeRefusal(request, bodyType(sharing)))
                return refuse(client, wrongType->status, wrongType->why);
        const CommandDecoder::Decoded decoded = CommandDecoder::decode(sharing, *values, request.body());
        if (!decoded.request)
            return refuse(client, 400, decoded.error);
        return runCommand(*decoded.request, client);
    }
    if (!allowed.isEmpty())
        return refuse(client, 405,
                      QStringLiteral("%1 takes %2").arg(path, QString::fromLatin1(allowed.join(", "))),
                      {{"Allow", allowed.join(", ")}});
    refuse(client, 404, QStringLiteral("No such path: ") + path);
}

void HttpApi::runCommand(const ClockRequest& request, const Client& client) {
    // Answers in the order asked: the connection's next request waits for this one's answer.
    HttpConnection::of(client.socket)->hold();
    const quint64 ticket = ++m_lastTicket;
    m_waiting.insert(ticket, client);
    QMetaObject::invokeMethod(&m_service, [this, request, ticket] {
        m_service.run(request, [this, ticket](const ServedCommand& served) {
            QMetaObject::invokeMethod(this, [this, ticket, served] { answer(ticket, served); });
        });
    });
}

void HttpApi::answer(quint64 ticket, const ServedCommand& served) {
    // A client that went away meanwhile gets nothing; the command ran all the
    // same, and the journal has it.
    const Client client = m_waiting.take(ticket);
    if (!client.socket)
        return;
    if (client.socket->state() == QAbstractSocket::ConnectedState) {
        const CommandReport report = served.refusal == ServedCommand::Refusal::None
                                         ? CommandReport::of(served.request, served.outcome, served.traffic)
                                         : CommandReport::refusal(refusalStatus(served.refusal), served.why);
        HttpReply::sendJson(client.socket, report.httpStatus, report.body, {}, client.close);
    }
    HttpConnection::of(client.socket)->release();
}

void HttpApi::sendStatus(const Client& client) {
    HttpReply::sendJson(client.socket, 200, statusJson(), {}, client.close);
}

void HttpApi::sendMetrics(const Client& client) {
    HttpReply::send(client.socket, 200, "text/plain; version=0.0.4; charset=utf-8",
                    currentStatus().toMetrics(), {}, client.close);
}

void HttpApi::sendHouseClocks(const Client& client) {
    if (!m_house)
        return refuse(client, 503,
                      QStringLiteral("No Prometheus to ask: start the service with --prometheus URL"));
    // Answers in the order asked, as a command's; the query's time is bounded.
    HttpConnection::of(client.socket)->hold();
    m_house->ask([client](const HouseQuery::Answer& answer) {
        if (!client.socket)
            return;
        if (client.socket->state() == QAbstractSocket::ConnectedState)
            HttpReply::sendJson(client.socket, answer.httpStatus, answer.body,
                                {{"Cache-Control", "no-store"}}, client.close);
        HttpConnection::of(client.socket)->release();
    });
}

void HttpApi::refusePlainLive(const Client& client) {
    refuse(client, 426, QStringLiteral("/live is a web socket"), {{"Upgrade", "websocket"}});
}

void HttpApi::refuse(const Client& client, int status, const QString& why,
                     const HttpReply::Headers& headers) {
    HttpReply::sendJson(client.socket, status, QJsonObject{{QStringLiteral("error"), why}}, headers,
                        client.close);
}

void HttpApi::takeWebSockets() {
    while (hasPendingWebSocketConnections()) {
        QWebSocket* socket = nextPendingWebSocketConnection().release();
        socket->setParent(this);
        connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            m_live.removeOne(socket);
            socket->deleteLater();
        });
        // A browser cannot send headers with a web socket: it may give the
        // token as ?token=.
        const QNetworkRequest& upgrade = socket->request();
        if (m_token && !m_token->admitsAuthorization(upgrade.rawHeader("Authorization")) &&
            !m_token->admits(QUrlQuery(upgrade.url())
                                 .queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded)
                                 .toUtf8())) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated,
                          QStringLiteral("missing or wrong token"));
            continue;
        }
        socket->setMaxAllowedIncomingFrameSize(kMostLiveMessageBytes);
        socket->setMaxAllowedIncomingMessageSize(kMostLiveMessageBytes);
        m_live << socket;
        QJsonObject first = statusJson();
        first.insert(QStringLiteral("recentCommands"), m_recentCommands);
        socket->sendTextMessage(textOf(first));
    }
}

void HttpApi::pushWith(const QString& key, const QJsonObject& event) {
    if (m_live.isEmpty())
        return;
    QJsonObject message = statusJson();
    message.insert(key, event);
    push(message);
}

void HttpApi::push(const QJsonObject& message) {
    const QString text = textOf(message);
    // A copy: a socket closed here may leave the list at once.
    const QList<QWebSocket*> live = m_live;
    for (QWebSocket* socket : live) {
        if (socket->bytesToWrite() > kMostUnsentLiveBytes)
            socket->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("not reading"));
        else
            socket->sendTextMessage(text);
    }
}

ServiceStatus HttpApi::currentStatus() const {
    ServiceStatus status = m_service.status();
    status.computerClock = m_computerClock.read();
    return status;
}

QJsonObject HttpApi::statusJson() const {
    return currentStatus().toJson();
}
