#include "HouseQuery.h"

#include "HouseClocks.h"

#include <QNetworkReply>
#include <QTimer>
#include <QUrlQuery>
#include <memory>

namespace {
HouseQuery::Answer failure(int httpStatus, const QString& why) {
    return {httpStatus, {{QStringLiteral("error"), why}}};
}
} // namespace

HouseQuery::HouseQuery(const QUrl& prometheus, QObject* parent) : QObject(parent) {
    m_queryUrl = prometheus;
    QString path = prometheus.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    m_queryUrl.setPath(path + QStringLiteral("api/v1/query"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("query"), HouseClocks::query());
    m_queryUrl.setQuery(query);
}

void HouseQuery::ask(const Answered& answered) {
    m_waiting << answered;
    if (m_waiting.size() > 1)
        return; // it joins the query under way
    QNetworkRequest request(m_queryUrl);
    // Prometheus answers the query itself, never another server in its place.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = m_network.get(request);
    // Flags the reply's signals share, and its timer.
    const auto timedOut = std::make_shared<bool>(false);
    const auto tooLarge = std::make_shared<bool>(false);
    QTimer::singleShot(kTimeoutMs, reply, [reply, timedOut] {
        *timedOut = true;
        reply->abort();
    });
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, tooLarge](qint64 received) {
        if (received > kMostAnswerBytes && !*tooLarge) {
            *tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, timedOut, tooLarge] { finished(reply, *timedOut, *tooLarge); });
}

void HouseQuery::finished(QNetworkReply* reply, bool timedOut, bool tooLarge) {
    reply->deleteLater();
    const QVariant httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    Answer answer{200, {}};
    if (timedOut)
        answer = failure(504, QStringLiteral("Prometheus did not answer within %1 s").arg(kTimeoutMs / 1000));
    else if (tooLarge)
        answer = failure(
            502, QStringLiteral("Prometheus's answer is larger than %1 MiB").arg(kMostAnswerBytes >> 20));
    else if (!httpStatus.isValid())
        answer = failure(502, QStringLiteral("Prometheus unreachable: ") + reply->errorString());
    else {
        const HouseClocks::Clocks clocks = HouseClocks::fromAnswer(reply->readAll());
        if (!clocks.error.isEmpty())
            answer =
                failure(502, QStringLiteral("Prometheus answered %1 %2: %3")
                                 .arg(httpStatus.toInt())
                                 .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString(),
                                      clocks.error));
        else
            answer.body = {{QStringLiteral("clocks"), clocks.clocks}};
    }
    for (const Answered& answered : std::exchange(m_waiting, {}))
        answered(answer);
}
