#include "MicroClock.h"

#include <time.h>

namespace MicroClock {

qint64 nowUs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

void spinUntil(qint64 targetUs) {
    while (nowUs() < targetUs) {
    }
}

} // namespace MicroClock
