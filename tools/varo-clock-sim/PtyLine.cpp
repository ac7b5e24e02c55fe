#include "PtyLine.h"

#include "MicroClock.h"
#include "SystemError.h"

#include <QSocketNotifier>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
bool makeRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

bool addFlags(int fd, int getCommand, int setCommand, int flags) {
    const int current = fcntl(fd, getCommand);
    return current >= 0 && fcntl(fd, setCommand, current | flags) == 0;
}
} // namespace

std::unique_ptr<PtyLine> PtyLine::open(QString* error) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        *error = systemError(QStringLiteral("openpty"));
        return nullptr;
    }
    std::unique_ptr<PtyLine> line(new PtyLine(master, slave, QString::fromLocal8Bit(name)));
    if (!makeRaw(master) || !makeRaw(slave)) {
        *error = systemError(QStringLiteral("raw mode"));
        return nullptr;
    }
    if (!addFlags(master, F_GETFL, F_SETFL, O_NONBLOCK) || !addFlags(master, F_GETFD, F_SETFD, FD_CLOEXEC) ||
        !addFlags(slave, F_GETFD, F_SETFD, FD_CLOEXEC)) {
        *error = systemError(QStringLiteral("descriptor flags"));
        return nullptr;
    }
    if (!line->m_peers.watch(line->m_slaveName, error))
        return nullptr;
    return line;
}

PtyLine::PtyLine(int master, int slave, const QString& slaveName)
    : m_master(master), m_slave(slave), m_slaveName(slaveName),
      m_notifier(new QSocketNotifier(master, QSocketNotifier::Read, this)) {
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyLine::readAll);
    connect(&m_peers, &PtyPeerWatch::countChanged, this, &Line::peerCountChanged);
}

PtyLine::~PtyLine() {
    ::close(m_slave);
    ::close(m_master);
}

QString PtyLine::write(const QByteArray& bytes) {
    // The peer's open is noted before its first write returns, so the count is
    // current for any answer.
    if (m_peers.refresh() == 0)
        return QStringLiteral("not delivered: nobody has the device open");
    const ssize_t written = ::write(m_master, bytes.constData(), size_t(bytes.size()));
    if (written == bytes.size())
        return {};
    if (written < 0 && errno != EAGAIN)
        return systemError(QStringLiteral("write"));
    return QStringLiteral("only %1 of %2 bytes written: the peer does not read")
        .arg(qMax<ssize_t>(written, 0))
        .arg(bytes.size());
}

void PtyLine::readAll() {
    m_peers.refresh(); // so the log shows the peer's open before its bytes
    char buffer[4096];
    for (;;) {
        const ssize_t length = ::read(m_master, buffer, sizeof buffer);
        const qint64 atUs = MicroClock::nowUs();
        if (length > 0) {
            emit received(QByteArray(buffer, int(length)), atUs);
            continue;
        }
        if (length < 0 && errno == EINTR)
            continue;
        if (length == 0 || errno != EAGAIN) {
            m_notifier->setEnabled(false);
            emit lost(length == 0 ? QStringLiteral("end of input") : systemError(QStringLiteral("read")));
        }
        return;
    }
}
