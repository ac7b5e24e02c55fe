#include "HttpReply.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

namespace HttpReply {

namespace {
// The statuses the service answers with.
QByteArray reasonOf(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 409:
        return "Conflict";
    case 413:
        return "Payload Too Large";
    case 415:
        return "Unsupported Media Type";
    case 421:
        return "Misdirected Request";
    case 426:
        return "Upgrade Required";
    case 431:
        return "Request Header Fields Too Large";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    default:
        return "Internal Server Error";
    }
}
} // namespace

void send(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body,
          const Headers& headers, bool close) {
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonOf(status) + "\r\n";
    response +=
        "Content-Type: " + contentType + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
    for (const auto& [name, value] : headers)
        response += name + ": " + value + "\r\n";
    if (close)
        response += "Connection: close\r\n";
    socket->write(response + "\r\n" + body);
    if (close)
        socket->disconnectFromHost();
}

void sendJson(QTcpSocket* socket, int status, const QJsonObject& body, const Headers& headers, bool close) {
    send(socket, status, "application/json", QJsonDocument(body).toJson(QJsonDocument::Compact) + '\n',
         headers, close);
}

} // namespace HttpReply
