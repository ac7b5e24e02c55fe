#include "HttpApi.h"

#include "ClockService.h"
#include "CommandDecoder.h"
#include "CommandReport.h"
#include "LivePage.h"
#include "RequestSizeGuard.h"
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
};

HttpApi::HttpApi(ClockService& service, const ComputerClockReader& computerClock,
                 std::optional<AccessToken> token, QObject* parent)
    : QAbstractHttpServer(parent), m_service(service), m_computerClock(computerClock),
      m_token(std::move(token)) {
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
    m_guard = new RequestSizeGuard(kMostBodyBytes, this);
    // Room for many clients connecting at once, Prometheus and a control
    // room's buttons alike; the system's default queue holds 50.
    m_guard->setListenBacklogSize(kListenBacklog);
    if (!m_guard->listen(address, port)) {
        *error = m_guard->errorString();
        return false;
    }
    bind(m_guard);
    return true;
}

quint16 HttpApi::port() const {
    return m_guard->serverPort();
}

bool HttpApi::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    RequestSizeGuard::requestTaken(socket);
    // Qt's server upgrades whatever a handler takes; the token is checked on
    // the web socket, which cannot be refused here.
    if (isWebSocketUpgrade(request))
        return request.url().path() == QLatin1String("/live") && request.method() == Method::Get;
    route(request, {socket, request.value("connection").toLower().contains("close"), {}});
    return true;
}

void HttpApi::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    refuse({socket, true, {}}, 404, QStringLiteral("No such path: ") + request.url().path());
}

void HttpApi::route(const QHttpServerRequest& request, const Client& client) {
    // A chunked body the guard let through within its room for the head.
    if (request.body().size() > kMostBodyBytes)
        return refuse(client, 413, m_guard->refusal());
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
        const CommandDecoder::Decoded decoded = CommandDecoder::decode(
            ClockCommands::byRoute(QString::fromLatin1(method), pattern), *values, request.body());
        if (!decoded.request)
            return refuse(client, 400, decoded.error);
        Client asking = client;
        asking.warnings = decoded.warnings;
        return runCommand(*decoded.request, asking);
    }
    if (!allowed.isEmpty())
        return refuse(client, 405,
                      QStringLiteral("%1 takes %2").arg(path, QString::fromLatin1(allowed.join(", "))),
                      {{"Allow", allowed.join(", ")}});
    refuse(client, 404, QStringLiteral("No such path: ") + path);
}

void HttpApi::runCommand(const ClockRequest& request, const Client& client) {
    const quint64 ticket = ++m_lastTicket;
    m_waiting.insert(ticket, client);
    QMetaObject::invokeMethod(&m_service, [this, request, ticket] {
        m_service.run(request, [this, ticket](const ServedCommand& served) {
            QMetaObject::invokeMethod(this, [this, ticket, served] { answer(ticket, served); });
        });
    });
}

void HttpApi::answer(quint64 ticket, const ServedCommand& served) {
    // A client that went away meanwhile gets nothing; the command ran all the same.
    const Client client = m_waiting.take(ticket);
    if (!client.socket || client.socket->state() != QAbstractSocket::ConnectedState)
        return;
    const CommandReport report =
        served.refusal == ServedCommand::Refusal::None
            ? CommandReport::of(served.request, served.outcome, served.traffic, client.warnings)
            : CommandReport::refusal(refusalStatus(served.refusal), served.why);
    HttpReply::sendJson(client.socket, report.httpStatus, report.body, {}, client.close);
}

void HttpApi::sendStatus(const Client& client) {
    HttpReply::sendJson(client.socket, 200, statusJson(), {}, client.close);
}

void HttpApi::sendMetrics(const Client& client) {
    HttpReply::send(client.socket, 200, "text/plain; version=0.0.4; charset=utf-8",
                    currentStatus().toMetrics(), {}, client.close);
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
