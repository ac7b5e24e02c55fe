#include "ChronyReference.h"

#include "ChronySample.h"
#include "ClockService.h"
#include "ServiceLog.h"
#include "serial/SerialPortComponent.h"
#include "session/ClockSession.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

static_assert(sizeof(sockaddr_un::sun_path) == ChronyReference::kLongestPath + 1,
              "a socket's path ends in a zero byte");

namespace {
// Now on the system's clock that no time service slews, in microseconds.
qint64 steadyNowUs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_RAW, &now);
    return qint64(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}
} // namespace

ChronyReference::ChronyReference(ClockSession& session, ClockService& service, const QString& socketPath,
                                 QObject* parent)
    : QObject(parent), m_session(session), m_path(socketPath) {
    service.refuseUnforcedTypedTimes(QStringLiteral(
        "The master clock is chronyd's reference: a typed time would move this computer's clock "
        "with it. Send \"force\":true to set it all the same"));
    // Not connected: a chronyd that restarts makes its socket anew, and the
    // next sample finds it by its name.
    m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_socket < 0)
        serviceLog(QStringLiteral("No samples for chronyd: no socket to send them (%1)")
                       .arg(QString::fromLocal8Bit(std::strerror(errno))));
    else
        connect(&session, &ClockSession::timeFrameSeen, this, &ChronyReference::timeFrameSeen);
}

ChronyReference::~ChronyReference() {
    if (m_socket >= 0)
        ::close(m_socket);
}

void ChronyReference::timeFrameSeen(const TimeFrameMonitor::Sighting& sighting) {
    const qint64 lateUs = m_lateness.feed(sighting, steadyNowUs());
    if (lateUs > kMostLateUs) {
        if (!std::exchange(m_saidLate, true))
            serviceLog(
                QStringLiteral("No samples for chronyd from time frames read late: this one %1 ms after "
                               "where the line time puts it (the service held up, a loaded computer)")
                    .arg(lateUs / 1000));
        return;
    }
    m_saidLate = false;
    const std::optional<QByteArray> sample =
        ChronySample::of(sighting, *LineSettings::parse(m_session.port().Settings()));
    if (sample) {
        m_saidTooFarOff = false;
        return send(*sample);
    }
    if (!std::exchange(m_saidTooFarOff, true))
        serviceLog(QStringLiteral("No samples for chronyd while the master clock is %1 s off the computer's "
                                  "clock, beyond %2 s: a wrong master clock, or one in another time zone")
                       .arg(QString::asprintf("%+.3f", double(sighting.offsetUs) / 1e6))
                       .arg(ChronySample::kMostOffsetUs / 1'000'000));
}

void ChronyReference::send(const QByteArray& datagram) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(m_path);
    // The options refuse a longer path; it is never written past the field.
    std::memcpy(address.sun_path, path.constData(), qMin<size_t>(size_t(path.size()), kLongestPath));
    const bool sent =
        ::sendto(m_socket, datagram.constData(), size_t(datagram.size()), 0,
                 reinterpret_cast<const sockaddr*>(&address), sizeof address) == datagram.size();
    const int error = sent ? 0 : errno;
    if (error == std::exchange(m_lastError, error))
        return;
    if (sent)
        serviceLog(QStringLiteral("Each time frame goes to chronyd as a sample, at ") + m_path);
    else
        serviceLog(
            QStringLiteral("chronyd's socket %1 takes no samples (%2); they go to it as soon as it does")
                .arg(m_path, QString::fromLocal8Bit(std::strerror(error))));
}
