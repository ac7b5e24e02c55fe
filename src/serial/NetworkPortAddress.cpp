#include "NetworkPortAddress.h"

#include <QRegularExpression>

std::optional<NetworkPortAddress> NetworkPortAddress::parse(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^(rfc2217|socket)://(?:\\[([0-9a-f:.]+)\\]|([^][\\s:/?#@]+)):([0-9]{1,5})$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const int port = match.captured(4).toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    NetworkPortAddress address;
    address.protocol = match.captured(1).compare(QLatin1String("socket"), Qt::CaseInsensitive) == 0
                           ? Protocol::Raw
                           : Protocol::Rfc2217;
    address.host = match.captured(2).isEmpty() ? match.captured(3) : match.captured(2);
    address.port = quint16(port);
    return address;
}
