#pragma once

#include <QByteArray>
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
