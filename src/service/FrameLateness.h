#pragma once

#include "session/TimeFrameMonitor.h"

#include <QList>

// How much later than it should have been a time frame of the master clock
// was read. Its frames leave at the clock's second boundaries, so a frame
// arrives the line time after the second it names; of the last frames, the
// one read soonest after that tells where each arrives, and a frame read later
// than it puts the frame (the program held up, a loaded computer) is late by
// the difference. Read on a clock that no time service slews, so that the
// computer's clock being corrected meanwhile is no lateness.
class FrameLateness {
public:
    static constexpr int kFramesKept = 8;

    // `sighting` was read at `steadyUs` by that clock; how late it was,
    // in microseconds (0 for the one read soonest).
    qint64 feed(const TimeFrameMonitor::Sighting& sighting, qint64 steadyUs);

private:
    QList<qint64> m_delays; // steady clock minus the named second, of the last frames
};
