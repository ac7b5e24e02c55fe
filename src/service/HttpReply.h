#pragma once

#include <QByteArray>
#include <QList>
#include <utility>

class QJsonObject;
class QTcpSocket;

// One whole HTTP/1.1 response written to a connection, at once or long after
// the request (a command's answer). With `close`, it says so and the
// connection closes once the response is out.
namespace HttpReply {

using Headers = QList<std::pair<QByteArray, QByteArray>>;

void send(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body,
          const Headers& headers = {}, bool close = false);
void sendJson(QTcpSocket* socket, int status, const QJsonObject& body, const Headers& headers = {},
              bool close = false);

} // namespace HttpReply
