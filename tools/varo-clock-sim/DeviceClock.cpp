#include "DeviceClock.h"

#include <QDateTime>

namespace {
constexpr qint64 kUsPerSecond = 1'000'000;

qint64 floorDivide(qint64 value, qint64 divisor) {
    return value / divisor - (value % divisor < 0 ? 1 : 0);
}

int weekdayOf(const QDate& date) {
    return date.dayOfWeek() % 7; // Qt counts Monday 1 .. Sunday 7
}
} // namespace

DeviceClock DeviceClock::localTime(qint64 aheadMs) {
    return DeviceClock(qint64(QDateTime::currentDateTime().offsetFromUtc()) * kUsPerSecond + aheadMs * 1000);
}

void DeviceClock::set(const QDate& date, const QTime& time, int weekday, qint64 wallUs) {
    m_offsetUs = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch() * 1000 - wallUs;
    m_weekdayShift = ((weekday - weekdayOf(date)) % 7 + 7) % 7;
}

DeviceClock::Reading DeviceClock::at(qint64 wallUs) const {
    const qint64 seconds = floorDivide(wallUs + m_offsetUs, kUsPerSecond);
    const QDateTime clockTime = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
    return {clockTime.date(), clockTime.time(), (weekdayOf(clockTime.date()) + m_weekdayShift) % 7};
}

qint64 DeviceClock::nextBoundaryUs(qint64 wallUs) const {
    const qint64 nextSecond = floorDivide(wallUs + m_offsetUs, kUsPerSecond) + 1;
    return nextSecond * kUsPerSecond - m_offsetUs;
}
