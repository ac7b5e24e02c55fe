#include "NetworkPortAddress.h"

#include <QRegularExpression>

namespace {
constexpr int kLastPort = 65535;

// What a text of the form scheme://host:port names, each part as written;
// the parts that are missing are empty.
struct Written {
    QString scheme, host, port, rest;
    bool portGiven = false;
};

std::optional<Written> writtenParts(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^(rfc2217|socket)://(?:\\[([0-9a-f:.]*)\\]|([^][\\s:/?#@]*))(:([0-9]*))?(.*)$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    return Written{match.captured(1), match.captured(2) + match.captured(3), match.captured(5),
                   match.captured(6), match.capturedLength(4) > 0};
}
} // namespace

std::optional<NetworkPortAddress> NetworkPortAddress::parse(const QString& text) {
    const std::optional<Written> written = writtenParts(text);
    if (!written || !refusal(text).isEmpty())
        return std::nullopt;
    NetworkPortAddress address;
    address.protocol = written->scheme.compare(QLatin1String("socket"), Qt::CaseInsensitive) == 0
                           ? Protocol::Raw
                           : Protocol::Rfc2217;
    address.host = written->host;
    address.port = quint16(written->port.toInt());
    return address;
}

bool NetworkPortAddress::isNetworkForm(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^(rfc2217|socket)://"),
                                           QRegularExpression::CaseInsensitiveOption);
    return scheme.match(text.trimmed()).hasMatch();
}

QString NetworkPortAddress::refusal(const QString& text) {
    if (!isNetworkForm(text))
        return QString();
    const std::optional<Written> written = writtenParts(text);
    const QString form = QStringLiteral(": a network port is rfc2217://HOST:PORT or socket://HOST:PORT, PORT "
                                        "from 1 to %1")
                             .arg(kLastPort);
    if (!written || !written->rest.isEmpty())
        return QStringLiteral("has more than a host and a port") + form;
    if (written->host.isEmpty())
        return QStringLiteral("names no host") + form;
    if (!written->portGiven || written->port.isEmpty())
        return QStringLiteral("names no port") + form;
    const int port = written->port.size() > 5 ? kLastPort + 1 : written->port.toInt();
    if (port < 1 || port > kLastPort)
        return QStringLiteral("names port %1, outside 1 to %2").arg(written->port).arg(kLastPort);
    return QString();
}
