#include "PeerPort.h"

#include <QDeadlineTimer>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PeerPort::~PeerPort() {
    close();
}

bool PeerPort::open(const QString& devicePath) {
    close();
    m_fd = ::open(devicePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings{};
    if (m_fd < 0 || tcgetattr(m_fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    return tcsetattr(m_fd, TCSANOW, &settings) == 0;
}

void PeerPort::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool PeerPort::write(const QByteArray& bytes) {
    return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QByteArray PeerPort::read(int count, int timeoutMs) {
    QByteArray bytes;
    const QDeadlineTimer deadline(timeoutMs);
    while (bytes.size() < count) {
        pollfd waiting{m_fd, POLLIN, 0};
        const int remainingMs = int(deadline.remainingTime());
        if (remainingMs <= 0 || poll(&waiting, 1, remainingMs) <= 0)
            break;
        char buffer[256];
        const ssize_t length =
            ::read(m_fd, buffer, size_t(qMin<qsizetype>(count - bytes.size(), sizeof buffer)));
        if (length < 0 && errno != EAGAIN && errno != EINTR)
            break;
        if (length > 0)
            bytes.append(buffer, int(length));
    }
    return bytes;
}

bool PeerPort::nothingWaiting() {
    pollfd waiting{m_fd, POLLIN, 0};
    return poll(&waiting, 1, 0) == 0;
}
