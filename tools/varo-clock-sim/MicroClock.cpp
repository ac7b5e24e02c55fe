#include "MicroClock.h"

#include <time.h>

namespace MicroClock {

namespace {
qint64 read(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}
} // namespace

qint64 nowUs() {
    return read(CLOCK_REALTIME);
}

qint64 monotonicUs() {
    return read(CLOCK_MONOTONIC);
}

bool spinUntil(qint64 targetUs, qint64 limitUs) {
    const qint64 endUs = monotonicUs() + limitUs;
    while (nowUs() < targetUs)
        if (monotonicUs() > endUs)
            return false;
    return true;
}

} // namespace MicroClock
