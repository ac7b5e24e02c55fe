#include "BareWrite.h"

#include "BenchClock.h"
#include "TimedCommands.h"

#include <QDateTime>
#include <QThread>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr qint64 kUsPerSecond = 1'000'000;
// Twice the latest wake this machine shows when idle: the last nap, half the
// way from this far out, still ends before the boundary. Not much more: a
// thread that watches the clock for longer than the scheduler lets it run is
// put aside on a busy machine, often right at the boundary.
constexpr qint64 kWatchUs = 5'000;
// How long a new connection to ser2net is watched for a hang-up.
constexpr int kServedAfterMs = 300;

QString systemError(const QString& what) {
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

BareWrite::~BareWrite() {
    ::close(m_descriptor);
}

std::unique_ptr<BareWrite> BareWrite::toPseudoTerminal(const QString& device, QString* error) {
    const int descriptor = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    termios settings{};
    if (descriptor < 0 || ::tcgetattr(descriptor, &settings) != 0) {
        *error = systemError(QStringLiteral("cannot open ") + device);
        return nullptr;
    }
    std::unique_ptr<BareWrite> writer(new BareWrite(descriptor, false));
    ::cfmakeraw(&settings);
    if (::tcsetattr(descriptor, TCSANOW, &settings) != 0) {
        *error = systemError(QStringLiteral("cannot make %1 raw").arg(device));
        return nullptr;
    }
    return writer;
}

std::unique_ptr<BareWrite> BareWrite::toTcpPort(quint16 port, QString* error) {
    const int descriptor = ::socket(AF_INET, SOCK_STREAM, 0);
    if (descriptor < 0) {
        *error = systemError(QStringLiteral("cannot make a socket"));
        return nullptr;
    }
    std::unique_ptr<BareWrite> writer(new BareWrite(descriptor, true));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int on = 1;
    if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
        *error = systemError(QStringLiteral("cannot connect to 127.0.0.1:%1").arg(port));
        return nullptr;
    }
    // ser2net takes a connection whose device it cannot open, then says so
    // and hangs up: a write would go nowhere.
    pollfd said{descriptor, POLLIN, 0};
    if (::poll(&said, 1, kServedAfterMs) != 0) {
        char words[200] = {};
        const ssize_t count = ::recv(descriptor, words, sizeof words - 1, 0);
        *error = QStringLiteral("ser2net hung up on 127.0.0.1:%1: %2")
                     .arg(port)
                     .arg(QString::fromLatin1(words, int(qMax<ssize_t>(count, 0))).trimmed());
        return nullptr;
    }
    return writer;
}

bool BareWrite::writeAtNextBoundary(QString* error) {
    const qint64 boundaryUs = (BenchClock::epochUs() / kUsPerSecond + 1) * kUsPerSecond;
    const QByteArray frame =
        TimedCommands::setTime().frameFor(QDateTime::fromMSecsSinceEpoch(boundaryUs / 1000));
    // Naps that halve the way: the last ones are short, which a busy machine
    // wakes on time more often.
    for (qint64 left = boundaryUs - BenchClock::epochUs(); left > kWatchUs;
         left = boundaryUs - BenchClock::epochUs())
        QThread::usleep(ulong(left / 2));
    while (BenchClock::epochUs() < boundaryUs) {
    }
    // A socket whose far end went away fails the write instead of ending the bench.
    const ssize_t written = m_socket
                                ? ::send(m_descriptor, frame.constData(), size_t(frame.size()), MSG_NOSIGNAL)
                                : ::write(m_descriptor, frame.constData(), size_t(frame.size()));
    if (written == frame.size())
        return true;
    *error = systemError(QStringLiteral("the bare write failed"));
    return false;
}
