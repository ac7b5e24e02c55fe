#include "TimeFrameMonitor.h"

#include "OffsetModel.h"
#include "protocol/Frames.h"
#include "schedule/TimeText.h"

#include <utility>

namespace {
constexpr qint64 kFrameGapMs = 500; // bytes of one frame follow each other closely
const QByteArray kFrameStart("\xAA\x00", 2);
} // namespace

std::optional<TimeFrameMonitor::Sighting>
TimeFrameMonitor::feed(const QByteArray& bytes, const QDateTime& arrival, const LineSettings& line) {
    if (!m_pending.isEmpty() && m_pendingSince.msecsTo(arrival) > kFrameGapMs)
        m_pending.clear();
    if (m_pending.isEmpty())
        m_pendingSince = arrival;
    m_pending += bytes;

    std::optional<std::pair<QDate, QTime>> found;
    for (;;) {
        const qsizetype start = m_pending.indexOf(kFrameStart);
        if (start < 0) {
            // A last 0xAA may begin the next frame.
            m_pending = m_pending.endsWith('\xAA') ? m_pending.right(1) : QByteArray();
            break;
        }
        m_pending.remove(0, start);
        if (m_pending.size() < Frames::Length::ClockTime)
            break;
        const QByteArray frame = m_pending.left(Frames::Length::ClockTime);
        const std::optional<QTime> time = TimeText::parse(*Frames::clockTimeText(frame));
        const std::optional<QDate> date = Frames::clockDate(frame);
        if (!time || !date) {
            m_pending.remove(0, 1);
            continue;
        }
        found = {*date, *time};
        m_pending.remove(0, Frames::Length::ClockTime);
    }
    if (!m_pending.isEmpty() && found)
        m_pendingSince = arrival;
    if (!found)
        return std::nullopt;
    const auto [date, time] = *found;
    return Sighting{date, time, arrival, OffsetModel::offsetUs(date, time, arrival, line)};
}
