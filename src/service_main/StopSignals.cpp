#include "StopSignals.h"

#ifdef Q_OS_WIN
#include <QWinEventNotifier>
#include <atomic>
#include <windows.h>
#else
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
#ifdef Q_OS_WIN
// The handler runs in a thread Windows makes, which must not touch Qt: a
// thread Qt adopts keeps the program from ending under Wine. It only names
// the ask and sets the event, which the event loop waits on.
HANDLE s_asked = nullptr;
std::atomic<const char*> s_name{nullptr};

BOOL WINAPI controlHandler(DWORD event) {
    const char* name = event == CTRL_C_EVENT       ? "Ctrl+C"
                       : event == CTRL_BREAK_EVENT ? "Ctrl+Break"
                       : event == CTRL_CLOSE_EVENT ? "the console closed"
                                                   : nullptr;
    if (!name || !s_asked)
        return FALSE;
    s_name = name;
    SetEvent(s_asked);
    // Windows ends the program when a close's handler returns: it ends it
    // when the stop is done, or after its own few seconds.
    if (event == CTRL_CLOSE_EVENT)
        Sleep(INFINITE);
    return TRUE;
}
#else
const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// The handler only writes the signal's number; the event loop reads it.
int s_pipe[2] = {-1, -1};

void handler(int signal) {
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &number, 1);
}

QString nameOf(int signal) {
    return signal == SIGTERM  ? QStringLiteral("SIGTERM")
           : signal == SIGINT ? QStringLiteral("SIGINT")
                              : QStringLiteral("SIGHUP");
}
#endif
} // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
#ifdef Q_OS_WIN
    // Kept to the program's end, as the handler is.
    s_asked = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    auto* notifier = new QWinEventNotifier(s_asked, this);
    connect(notifier, &QWinEventNotifier::activated, this,
            [this] { emit received(QString::fromLatin1(s_name.load())); });
    SetConsoleCtrlHandler(controlHandler, TRUE);
#else
    // Never blocks the handler, and no child inherits it.
    if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0;
        if (::read(s_pipe[0], &number, 1) == 1)
            emit received(nameOf(number));
    });
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
#endif
}

StopSignals::~StopSignals() {
    // On Windows the handler stays, and lets the program end once this is
    // gone: Wine does not return from taking it back.
#ifndef Q_OS_WIN
    for (const int signal : kSignals)
        ::signal(signal, SIG_DFL);
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
#endif
}
