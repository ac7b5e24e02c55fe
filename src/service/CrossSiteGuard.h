#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <optional>

class QHttpServerRequest;

// What keeps web pages of other sites off the service. A browser sends their
// requests with the operator's reach (a page may post a form or a plain-text
// fetch to 127.0.0.1 without asking first), and a name of theirs can be made
// to resolve to this computer (DNS rebinding). So a request must name one of
// the service's own hosts (421), come from no origin but the service's own
// (403), and carry a body in the type its route takes (415), which neither a
// form nor a fetch that asks no one first can send.
class CrossSiteGuard {
public:
    struct Refusal {
        int status;
        QString why;
    };

    // `allowedHosts`: the names --allow-host adds (a reverse proxy's) to
    // localhost and the addresses that reach the service.
    explicit CrossSiteGuard(const QStringList& allowedHosts);

    // Why `request`, which came in on the address `local`, is refused before
    // its route is looked at; nothing when it may go on.
    std::optional<Refusal> refusal(const QHttpServerRequest& request, const QHostAddress& local) const;
    // Why `request`'s body is not of `mediaType`; nothing when it is, or when
    // it has neither a body nor a type.
    static std::optional<Refusal> bodyTypeRefusal(const QHttpServerRequest& request,
                                                  const QByteArray& mediaType);

private:
    bool isOwnHost(const QString& host, const QHostAddress& local) const;

    QStringList m_allowedHosts; // in lower case
};
