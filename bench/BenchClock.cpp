#include "BenchClock.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace BenchClock {

namespace {
qint64 readClockUs(clockid_t id) {
    timespec now{};
    clock_gettime(id, &now);
    return qint64(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

qint64 toUs(const timeval& value) {
    return qint64(value.tv_sec) * 1'000'000 + value.tv_usec;
}
} // namespace

qint64 epochUs() {
    return readClockUs(CLOCK_REALTIME);
}

qint64 monotonicUs() {
    return readClockUs(CLOCK_MONOTONIC);
}

qint64 threadCpuUs() {
    return readClockUs(CLOCK_THREAD_CPUTIME_ID);
}

qint64 processCpuUs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return toUs(usage.ru_utime) + toUs(usage.ru_stime);
}

qint64 sinceProcessStartUs(const char** source) {
    bool ok = false;
    const qint64 spawnUs = qEnvironmentVariable("VARO_BENCH_SPAWN_US").toLongLong(&ok);
    if (ok && spawnUs > 0) {
        *source = "spawn time from the parent";
        return epochUs() - spawnUs;
    }
    // Field 22 of /proc/self/stat: start time in clock ticks after boot. The
    // command name (field 2) may hold blanks, so count from its closing ")".
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    constexpr int kStartTimeAfterName = 22 - 3;
    if (fields.size() <= kStartTimeAfterName)
        return -1;
    const qint64 ticks = fields.at(kStartTimeAfterName).toLongLong();
    *source = "/proc/self/stat start time";
    return readClockUs(CLOCK_BOOTTIME) - ticks * 1'000'000 / sysconf(_SC_CLK_TCK);
}

qint64 peakResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

} // namespace BenchClock
