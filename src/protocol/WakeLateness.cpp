#include "WakeLateness.h"

#include <algorithm>
#include <functional>

WakeLateness& WakeLateness::ofProgram() {
    static WakeLateness lateness;
    return lateness;
}

void WakeLateness::record(std::chrono::microseconds lateness) {
    // A clock set back during the nap makes it look early.
    const QMutexLocker locker(&m_mutex);
    m_recent[m_next] = std::max(lateness, std::chrono::microseconds(0));
    m_next = (m_next + 1) % kKept;
}

std::chrono::microseconds WakeLateness::watchWindow() const {
    std::array<std::chrono::microseconds, kKept> latest;
    {
        const QMutexLocker locker(&m_mutex);
        latest = m_recent;
    }
    std::nth_element(latest.begin(), latest.begin() + 1, latest.end(), std::greater<>());
    return std::clamp(latest[1] + kMargin, kSmallestWindow, kLargestWindow);
}
