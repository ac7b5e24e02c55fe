#pragma once

#include <QByteArray>
#include <QDateTime>
#include <optional>

struct LineSettings;

// Finds the master clock's own time frames in what it sends between commands
// and tells how far its clock is from the computer's, by the offset model.
class TimeFrameMonitor {
public:
    struct Sighting {
        QDate clockDate;   // the date the frame names
        QTime clockTime;   // the time of day the frame names
        QDateTime arrival; // when its last byte arrived, by the computer's clock
        qint64 offsetUs;   // the master clock ahead of the computer's clock (negative: behind)
    };

    // `bytes` arrived at `arrival`, by the computer's clock. Gives the last
    // whole frame they complete whose date and time are a date and a time; a
    // frame begun more than half a second earlier is given up.
    std::optional<Sighting> feed(const QByteArray& bytes, const QDateTime& arrival, const LineSettings& line);
    // Forgets a frame begun: what follows is not its continuation.
    void reset() { m_pending.clear(); }

private:
    QByteArray m_pending;
    QDateTime m_pendingSince;
};
