#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>

// The NMEA 0183 checksum: the exclusive-or of the bytes between "$" and "*".
quint8 nmeaChecksum(const QByteArray& body);

// One NMEA 0183 RMC sentence for a given local time and date, standing in for
// a GPS receiver. The time is sent as it is, without conversion to UTC: the
// master clock adds its own eight hours.
struct RmcSentence {
    QString text;     // the sentence with "??" where the checksum goes, CR LF included
    QString checksum; // two upper-case hexadecimal digits
    QByteArray bytes; // what goes on the line: the text with the checksum in place

    // status: 'A' for a valid fix, 'V' for no valid fix.
    static RmcSentence build(const QTime& time, const QDate& date, char status);
};
