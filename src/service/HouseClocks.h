#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QString>

// The building's clocks as Prometheus last scraped their services, for the
// house page: the one instant query the service asks Prometheus, never a
// caller's, and its answer made into one object per clock, named by the
// target's label `clock` (or, without it, its `instance`), in name order:
//   {"clock":"studio-a","instance":"clocks-1:8642","up":true,"offsetSeconds":1.503,
//    "lastTimeFrameAgeSeconds":0.31,"portOpen":true,"computerClockSynchronized":true}
// A value Prometheus does not have, or that is no finite number (the age
// before the first time frame), is null.
namespace HouseClocks {

// The expression: the series of the scrape job the alert rules name.
QString query();

struct Clocks {
    QJsonArray clocks;
    QString error; // why the answer is none: Prometheus's own words, or what it is
};
// The clocks in the body of Prometheus's answer to query().
Clocks fromAnswer(const QByteArray& body);

} // namespace HouseClocks
