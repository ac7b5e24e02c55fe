#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QTime>
#include <initializer_list>

// Byte sequences the tests compare against, written the way they are read
// on the line.

inline QByteArray bytesOf(std::initializer_list<int> values) {
    QByteArray bytes;
    for (int value : values)
        bytes.append(char(value));
    return bytes;
}

// "CCB1 0700..." with blanks between blocks for the reader's sake.
inline QByteArray hexBytes(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// The group records of the window's default schedule, rows 1 to 8.
inline const QByteArray kDefaultRecords = hexBytes("070000480000 073000003000 093000510000 103000003000 "
                                                   "113000003000 601500004500 540000410000 163000020000");

// The settings file the window writes in its start-up state: 194 bytes.
inline const QByteArray kStartUpSettingsFile = "[CLOCK1]\r\n"
                                               "A,07:00:00,08:00:00,S\r\n"
                                               "A,07:30:00,00:30:00,R\r\n"
                                               "A,09:30:00,11:00:00,S\r\n"
                                               "A,10:30:00,00:30:00,R\r\n"
                                               "A,11:30:00,00:30:00,R\r\n"
                                               "V,20:15:00,00:45:00,R\r\n"
                                               "V,14:00:00,01:00:00,S\r\n"
                                               "A,16:30:00,02:00:00,R\r\n";

// Set-time frames, as the window sends them and as the master clock sends its
// own time: the date, time and weekday (0 Sunday) each carries, and the frame
// text the window builds it from.
struct KnownTimeFrame {
    const char* name;
    QDate date;
    QTime time;
    int weekday;
    const char* frameText;
    QByteArray frame;
};
inline const QList<KnownTimeFrame> kTimeFrames{
    {"Tuesday", {2024, 3, 5}, {9, 7, 45}, 2, "2024-03-05,2,09:07:45", hexBytes("AA0024030502090745")},
    {"Sunday", {2024, 3, 3}, {0, 0, 0}, 0, "2024-03-03,0,00:00:00", hexBytes("AA0024030300000000")},
    {"Saturday", {2024, 3, 9}, {23, 59, 59}, 6, "2024-03-09,6,23:59:59", hexBytes("AA0024030906235959")},
    {"year 2000", {2000, 1, 1}, {12, 34, 56}, 6, "2000-01-01,6,12:34:56", hexBytes("AA0000010106123456")},
    {"year 2099", {2099, 12, 31}, {18, 0, 5}, 4, "2099-12-31,4,18:00:05", hexBytes("AA0099123104180005")},
};

// RMC sentences standing in for a GPS receiver, checksum included, with the
// time, date and status letter each carries.
struct KnownRmc {
    const char* name;
    QTime time;
    QDate date;
    char status;
    QByteArray bytes;
};
inline const QList<KnownRmc> kRmcSentences{
    {"fix valid",
     {12, 34, 56},
     {2026, 12, 6},
     'A',
     "$GPRMC,123456.123,A,3114.1296,N,12128.0253,E,000.0,000.0,061226,,*02\r\n"},
    {"no fix",
     {12, 34, 56},
     {2026, 12, 6},
     'V',
     "$GPRMC,123456.123,V,3114.1296,N,12128.0253,E,000.0,000.0,061226,,*15\r\n"},
    {"midnight, leading zero",
     {0, 0, 0},
     {2027, 1, 1},
     'A',
     "$GPRMC,000000.123,A,3114.1296,N,12128.0253,E,000.0,000.0,010127,,*01\r\n"},
    {"evening, 24-hour clock",
     {23, 59, 59},
     {2024, 3, 5},
     'A',
     "$GPRMC,235959.123,A,3114.1296,N,12128.0253,E,000.0,000.0,050324,,*05\r\n"},
};
