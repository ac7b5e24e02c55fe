#include "WakeLateness.h"

#include <algorithm>

WakeLateness& WakeLateness::ofProgram() {
    static WakeLateness lateness;
    return lateness;
}

void WakeLateness::record(std::chrono::microseconds lateness) {
    // A clock set back during the nap makes it look early.
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_recent[m_next] = std::max(lateness, std::chrono::microseconds(0));
    m_next = (m_next + 1) % kKept;
}

std::chrono::microseconds WakeLateness::watchWindow() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    const std::chrono::microseconds latest = *std::max_element(m_recent.begin(), m_recent.end());
    return std::clamp(latest + kMargin, kSmallestWindow, kLargestWindow);
}
