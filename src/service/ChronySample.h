#pragma once

#include "session/TimeFrameMonitor.h"

#include <QByteArray>
#include <optional>

struct LineSettings;

// One time frame of the master clock as a sample for chronyd's SOCK reference
// clock: chrony's struct sock_sample as on x86-64 Linux, 40 bytes in the
// computer's byte order, one datagram each. The sample says that at the moment
// the frame's first byte left, by the computer's clock, the true time was the
// master clock's, the offset model's offset later.
namespace ChronySample {

// chrony's SOCK_MAGIC, "SOCK".
constexpr qint32 kMagic = 0x534f434b;
// A master clock further off is wrong, or in another time zone: chronyd gets nothing of it.
constexpr qint64 kMostOffsetUs = 10'000'000;

// The datagram for `sighting` on a line with `line`'s settings; nothing when
// the offset is beyond kMostOffsetUs.
std::optional<QByteArray> of(const TimeFrameMonitor::Sighting& sighting, const LineSettings& line);

} // namespace ChronySample
