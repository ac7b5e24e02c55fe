#pragma once

#include <QtGlobal>

// The clocks the measurements read. Epoch microseconds come from the same
// clock as the simulator's "t=" log values, so both sides can be compared.
namespace BenchClock {

qint64 epochUs();      // CLOCK_REALTIME
qint64 monotonicUs();  // CLOCK_MONOTONIC, for durations
qint64 threadCpuUs();  // CPU time of the calling thread
qint64 processCpuUs(); // user + system time of the whole process (getrusage)

// Microseconds since this process started, from the spawn time a parent put
// in VARO_BENCH_SPAWN_US or else from /proc/self/stat (10 ms resolution).
// `source` says which one was used.
qint64 sinceProcessStartUs(const char** source);

// The process's peak resident memory (VmHWM) in KiB, or -1.
qint64 peakResidentKiB();

} // namespace BenchClock
