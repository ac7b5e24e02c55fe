#pragma once

#include <QList>
#include <QString>
#include <optional>

// The line speeds the master clock runs at, for the window's menu and the
// command line's --baud alike; every other setting of the line is n,8,1.
namespace LineSpeeds {

constexpr int kDefault = 9600;

// In increasing order.
const QList<int>& all();

bool isOffered(int baudRate);

// A speed as a caller names it, "9600"; nothing for a text that is not one
// of the speeds offered.
std::optional<int> fromText(const QString& text);
// Why a text is none: "--baud takes 4800, 9600, 19200 or 38400".
QString refusal(const QString& option);

// The serial component's settings text of a speed: "9600,n,8,1".
QString settingsText(int baudRate);

// The speeds joined by `separator`, "4800|9600|19200|38400"; the last by
// `lastSeparator` when given: "4800, 9600, 19200 or 38400".
QString listed(const QString& separator, const QString& lastSeparator = QString());

} // namespace LineSpeeds
