#pragma once

#include <QDate>
#include <QTime>
#include <QtGlobal>

// The master clock's own calendar and time of day. Once set it runs on with
// the computer's clock, as a free-running hardware clock would: it keeps no
// time zone and no daylight saving, only its offset from the wall clock. The
// weekday is kept as it was set, even when it does not match the date, and
// moves on with the days.
class DeviceClock {
public:
    struct Reading {
        QDate date;
        QTime time;  // whole seconds
        int weekday; // 0 Sunday .. 6 Saturday
    };

    // A clock showing the computer's local time, `aheadMs` ahead of it.
    static DeviceClock localTime(qint64 aheadMs = 0);

    void set(const QDate& date, const QTime& time, int weekday, qint64 wallUs);
    Reading at(qint64 wallUs) const;

    // The wall time of the clock's first second boundary after `wallUs`.
    qint64 nextBoundaryUs(qint64 wallUs) const;

private:
    explicit DeviceClock(qint64 offsetUs) : m_offsetUs(offsetUs) {}

    qint64 m_offsetUs;      // clock time minus wall time, both counted as if UTC
    int m_weekdayShift = 0; // set weekday minus the date's own weekday, modulo 7
};
