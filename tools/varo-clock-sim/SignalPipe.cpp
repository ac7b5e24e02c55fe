#include "SignalPipe.h"

#include "SystemError.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int signalWriteFd = -1;

void onSignal(int signalNumber) {
    const int savedErrno = errno;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t ignored = ::write(signalWriteFd, &byte, 1);
    errno = savedErrno;
}
} // namespace

SignalPipe::SignalPipe(QObject* parent) : QObject(parent) {}

SignalPipe::~SignalPipe() {
    if (m_readFd < 0)
        return;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    ::close(m_readFd);
    ::close(signalWriteFd);
    signalWriteFd = -1;
}

bool SignalPipe::install(QString* error) {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        *error = systemError(QStringLiteral("pipe"));
        return false;
    }
    m_readFd = fds[0];
    signalWriteFd = fds[1];
    auto* notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SignalPipe::readSignals);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGINT, &action, nullptr) != 0 || sigaction(SIGTERM, &action, nullptr) != 0) {
        *error = systemError(QStringLiteral("sigaction"));
        return false;
    }
    return true;
}

void SignalPipe::readSignals() {
    char byte;
    while (::read(m_readFd, &byte, 1) == 1)
        emit caught(byte);
}
