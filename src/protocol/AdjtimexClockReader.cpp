#include "AdjtimexClockReader.h"

#ifndef Q_OS_WIN
#include <cerrno>
#include <sys/timex.h>
#endif

ComputerClockState AdjtimexClockReader::read() const {
    const Answer answer = m_ask();
    ComputerClockState state;
    state.source = QStringLiteral("adjtimex");
    if (!answer.failure.isEmpty()) {
        state.detail = answer.failure;
        return state;
    }
    state.sync = answer.maxErrorUs < kUnsynchronizedFromUs ? ComputerClockState::Sync::Synchronized
                                                           : ComputerClockState::Sync::Unsynchronized;
    state.maxErrorMs = answer.maxErrorUs / 1000.0;
    state.estErrorMs = answer.estErrorUs / 1000.0;
    return state;
}

#ifndef Q_OS_WIN
AdjtimexClockReader::Answer AdjtimexClockReader::askKernel() {
    timex kernel{}; // no modes: it only reads
    if (ntp_adjtime(&kernel) == -1)
        return {qt_error_string(errno)};
    return {QString(), kernel.maxerror, kernel.esterror};
}
#endif
