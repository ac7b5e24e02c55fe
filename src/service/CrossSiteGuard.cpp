#include "CrossSiteGuard.h"

#include <QHttpServerRequest>
#include <QUrl>

namespace {
// "host", "host:port", "[::1]:port" as an authority; invalid when it is none.
QUrl authority(const QString& scheme, const QByteArray& text) {
    const QUrl url(scheme + QStringLiteral("://") + QString::fromLatin1(text), QUrl::StrictMode);
    return url.isValid() && url.userInfo().isEmpty() && url.path().isEmpty() && !url.hasQuery() &&
                   !url.hasFragment() && !url.host().isEmpty()
               ? url
               : QUrl();
}

int defaultPort(const QString& scheme) {
    return scheme == QLatin1String("https") ? 443 : 80;
}
} // namespace

CrossSiteGuard::CrossSiteGuard(const QStringList& allowedHosts) {
    for (const QString& host : allowedHosts)
        m_allowedHosts << host.toLower();
}

std::optional<CrossSiteGuard::Refusal> CrossSiteGuard::refusal(const QHttpServerRequest& request,
                                                               const QHostAddress& local) const {
    const QByteArray hostHeader = request.value("host");
    const QUrl reached = authority(QStringLiteral("http"), hostHeader);
    // An HTTP/1.0 request may name no host; one that names one names ours.
    if (!hostHeader.isEmpty() && !(reached.isValid() && isOwnHost(reached.host(), local)))
        return Refusal{421, QStringLiteral("This service does not answer to the host \"%1\" (--allow-host "
                                           "names others)")
                                .arg(QString::fromLatin1(hostHeader.left(100)))};
    const QByteArray originHeader = request.value("origin");
    if (originHeader.isEmpty())
        return std::nullopt;
    // The scheme may be https where a reverse proxy speaks TLS for the service.
    const qsizetype separator = originHeader.indexOf("://");
    const QString scheme = QString::fromLatin1(originHeader.left(separator));
    const QUrl origin = authority(scheme, originHeader.mid(separator + 3));
    if (separator < 0 || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        !origin.isValid() || !reached.isValid() || origin.host() != reached.host() ||
        origin.port(defaultPort(scheme)) != reached.port(defaultPort(scheme)))
        return Refusal{403, QStringLiteral("Requests from another site's page (Origin: %1) are refused")
                                .arg(QString::fromLatin1(originHeader.left(100)))};
    return std::nullopt;
}

std::optional<CrossSiteGuard::Refusal> CrossSiteGuard::bodyTypeRefusal(const QHttpServerRequest& request,
                                                                       const QByteArray& mediaType) {
    const QByteArray type = request.value("content-type");
    const bool fits =
        type.isEmpty() ? request.body().isEmpty() : type.split(';').first().trimmed().toLower() == mediaType;
    if (fits)
        return std::nullopt;
    return Refusal{415,
                   QStringLiteral("The body must come as Content-Type: ") + QString::fromLatin1(mediaType)};
}

bool CrossSiteGuard::isOwnHost(const QString& host, const QHostAddress& local) const {
    if (host == QLatin1String("localhost") || m_allowedHosts.contains(host))
        return true;
    // A rebound name is a name; an address is this computer's where it is
    // the one the request came in on.
    const QHostAddress address(host);
    return !address.isNull() && (address.isLoopback() || address.isEqual(local));
}
