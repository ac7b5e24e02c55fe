#include "ChronySample.h"

#include "session/OffsetModel.h"

#include <cstring>

namespace ChronySample {

namespace {
// chrony's struct sock_sample, its struct timeval as two 64-bit fields.
struct SockSample {
    qint64 seconds;      // tv.tv_sec: the computer's clock, since 1970 UTC
    qint64 microseconds; // tv.tv_usec
    double offset;       // true time minus the computer's clock at tv, in seconds
    qint32 pulse;        // 0: a whole time, not a pulse
    qint32 leap;         // 0: no leap second announced
    qint32 pad;
    qint32 magic;
};
static_assert(sizeof(SockSample) == 40, "chronyd takes 40 bytes");
} // namespace

std::optional<QByteArray> of(const TimeFrameMonitor::Sighting& sighting, const LineSettings& line) {
    if (qAbs(sighting.offsetUs) > kMostOffsetUs)
        return std::nullopt;
    const qint64 moment = OffsetModel::firstByteLeftUs(sighting.arrival, line);
    const SockSample sample{
        moment / 1'000'000, moment % 1'000'000, double(sighting.offsetUs) / 1e6, 0, 0, 0, kMagic};
    QByteArray bytes(sizeof sample, Qt::Uninitialized);
    std::memcpy(bytes.data(), &sample, sizeof sample);
    return bytes;
}

} // namespace ChronySample
