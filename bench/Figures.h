#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// How figures are rounded for the JSON report and written for the table.
namespace Figures {

double usToMs(double us);
double rounded(double value, int decimals = 3);
QJsonArray rounded(const QList<double>& values, int decimals = 3);
// Median, p99 and maximum of microsecond samples, in whole microseconds.
QJsonObject latencyUs(const QList<double>& us);

// "0.260 ms", "247 us", "247 / 481 us".
QString ms(double ms, int decimals);
QString us(double us);
QString us(double first, double second);

} // namespace Figures
