#include "HouseClocks.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QStringList>
#include <cmath>

namespace HouseClocks {

namespace {
// The job of the example scrape configuration, as the alert rules take it.
constexpr char kJob[] = "varo-clock";

// Each series the page shows, from the service's /metrics (and Prometheus's
// own `up`), and its member in a clock's object.
struct Series {
    const char* metric;
    const char* member;
    bool flag; // 1 or 0, as true or false
};
const Series kSeries[] = {
    {"up", "up", true},
    {"varo_clock_offset_seconds", "offsetSeconds", false},
    {"varo_clock_last_time_frame_age_seconds", "lastTimeFrameAgeSeconds", false},
    {"varo_clock_port_open", "portOpen", true},
    {"varo_clock_computer_clock_synchronized", "computerClockSynchronized", true},
};

const Series* seriesOf(const QString& metric) {
    for (const Series& series : kSeries)
        if (metric == QLatin1String(series.metric))
            return &series;
    return nullptr;
}

// A sample's value as Prometheus writes it ("1.503", "+Inf", "NaN").
QJsonValue valueOf(const Series& series, const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return QJsonValue::Null;
    return series.flag ? QJsonValue(value != 0) : QJsonValue(value);
}
} // namespace

QString query() {
    QStringList names;
    for (const Series& series : kSeries)
        names << QLatin1String(series.metric);
    return QStringLiteral("{job=\"%1\",__name__=~\"%2\"}")
        .arg(QLatin1String(kJob), names.join(QLatin1Char('|')));
}

Clocks fromAnswer(const QByteArray& body) {
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    const QString status = answer[QLatin1String("status")].toString();
    if (status == QLatin1String("error"))
        return {{},
                answer[QLatin1String("errorType")].toString() + QStringLiteral(": ") +
                    answer[QLatin1String("error")].toString()};
    const QJsonObject data = answer[QLatin1String("data")].toObject();
    if (status != QLatin1String("success") || data[QLatin1String("resultType")] != QLatin1String("vector"))
        return {{}, QStringLiteral("its answer is no query result")};
    QMap<QString, QJsonObject> byName;
    for (const QJsonValue sample : data[QLatin1String("result")].toArray()) {
        const QJsonObject labels = sample[QLatin1String("metric")].toObject();
        const Series* series = seriesOf(labels[QLatin1String("__name__")].toString());
        const QString instance = labels[QLatin1String("instance")].toString();
        const QString name = labels[QLatin1String("clock")].toString(instance);
        if (!series || name.isEmpty())
            continue;
        QJsonObject& clock = byName[name];
        if (clock.isEmpty()) {
            clock = {{QStringLiteral("clock"), name}, {QStringLiteral("instance"), instance}};
            for (const Series& each : kSeries)
                clock.insert(QLatin1String(each.member), QJsonValue::Null);
        }
        clock.insert(QLatin1String(series->member),
                     valueOf(*series, sample[QLatin1String("value")][1].toString()));
    }
    Clocks clocks;
    for (const QJsonObject& clock : byName)
        clocks.clocks.append(clock);
    return clocks;
}

} // namespace HouseClocks
