#include "FrameLateness.h"

#include <algorithm>

qint64 FrameLateness::feed(const TimeFrameMonitor::Sighting& sighting, qint64 steadyUs) {
    // The master clock's date and time as a count, with no time zone: the clock keeps none.
    const qint64 namedUs =
        QDateTime(sighting.clockDate, sighting.clockTime, Qt::UTC).toMSecsSinceEpoch() * 1000;
    m_delays << steadyUs - namedUs;
    if (m_delays.size() > kFramesKept)
        m_delays.removeFirst();
    return m_delays.last() - *std::min_element(m_delays.cbegin(), m_delays.cend());
}
