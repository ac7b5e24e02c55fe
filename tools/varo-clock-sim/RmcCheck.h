#pragma once

#include <QByteArray>
#include <QString>

// Reads an NMEA 0183 sentence as a GPS receiver sends it ("$GPRMC,...*hh" CR
// LF) and says what it carries: for RMC the time, status letter and date, for
// every sentence whether its checksum (the exclusive-or of the bytes between
// '$' and '*') matches the two hexadecimal digits after '*'.
namespace RmcCheck {

// "RMC 123456.123 A 061226 checksum ok", or "... checksum bad (sent 03,
// computed 02)"; other sentence types are named but not decoded.
QString describe(const QByteArray& sentence);

} // namespace RmcCheck
