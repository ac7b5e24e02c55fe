#include "TimeAdjustmentClockReader.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
const QString kFunction = QStringLiteral("GetSystemTimeAdjustmentPrecise");
}

ComputerClockState TimeAdjustmentClockReader::read() const {
    const Answer answer = m_ask();
    ComputerClockState state;
    state.source = kFunction;
    if (!answer.failure.isEmpty())
        state.detail = answer.failure;
    else if (!answer.adjusting)
        state.detail = QStringLiteral("time adjustment off: no time service steers the clock's rate");
    else
        state.detail =
            QStringLiteral("time adjustment on, rate %1 ppm: a time service steers the clock")
                .arg(QString::asprintf("%+.1f", (double(answer.adjustment) - double(answer.increment)) * 1e6 /
                                                    double(qMax<quint64>(answer.increment, 1))));
    return state;
}

#ifdef Q_OS_WIN
TimeAdjustmentClockReader::Answer TimeAdjustmentClockReader::askWindows() {
    // Looked up rather than linked: Windows before 10 and Wine may lack it.
    FARPROC found = nullptr;
    for (const wchar_t* module : {L"kernelbase.dll", L"kernel32.dll"}) {
        const HMODULE handle = GetModuleHandleW(module);
        if (handle && (found = GetProcAddress(handle, kFunction.toLatin1().constData())))
            break;
    }
    if (!found)
        return {QStringLiteral("this Windows has no %1").arg(kFunction)};
    using Function = BOOL(WINAPI*)(PDWORD64, PDWORD64, PBOOL);
    const auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(found));
    DWORD64 adjustment = 0;
    DWORD64 increment = 0;
    BOOL disabled = TRUE;
    if (!function(&adjustment, &increment, &disabled))
        return {qt_error_string(int(GetLastError()))};
    return {QString(), !disabled, adjustment, increment};
}
#endif
