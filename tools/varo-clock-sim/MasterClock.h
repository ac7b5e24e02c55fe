#pragma once

#include "DeviceClock.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

// A frame the master clock sends, with what it says for the log.
struct Outgoing {
    QByteArray bytes;
    QString text;
};

// The master clock's side of the protocol: its date and time, the eight group
// records of each of its two countdown clocks, and what it makes of each
// binary frame it receives.
class MasterClock {
public:
    struct Countdown {
        int clockNumber;
        qint64 remainingUs;
        QString targetText; // the clock's date and time when it runs out
    };

    struct Reaction {
        QString text; // what the frame said and what became of it
        std::optional<Outgoing> answer;
        std::optional<Countdown> countdown; // a temporary countdown that starts
        bool clockSet = false;
    };

    // foreignAnswers: answer a read with a write reply and a write with a
    // settings reply, to exercise the other end's answer check;
    // ignoresSetTime: keep its own time whatever set-time frames come.
    MasterClock(const DeviceClock& clock, bool foreignAnswers, bool ignoresSetTime);

    // `frame` is one complete binary frame; `atUs` the wall time of its last byte.
    Reaction receive(const QByteArray& frame, qint64 atUs);

    // The clock's own 9-byte time frame for the wall time `atUs`.
    Outgoing timeFrame(qint64 atUs) const;

    const DeviceClock& clock() const { return m_clock; }

private:
    Reaction setTime(const QByteArray& frame, qint64 atUs);
    Reaction readRequest(const QByteArray& frame);
    Reaction write(const QByteArray& frame);
    Reaction countdown(const QByteArray& frame, qint64 atUs) const;
    Outgoing answer(int clockNumber, bool settingsReply) const;

    DeviceClock m_clock;
    bool m_foreignAnswers;
    bool m_ignoresSetTime;
    std::array<QByteArray, 2> m_records; // countdown clocks 1 and 2
};
