#include "TcpKeepAlive.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
// After winsock2.h, whose types it uses.
#include <mstcpip.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace TcpKeepAlive {

void apply(qintptr socketDescriptor) {
#ifdef Q_OS_WIN
    // Windows sends ten probes; their count cannot be set.
    tcp_keepalive settings{1, ULONG(kIdleSeconds * 1000), ULONG(kIntervalSeconds * 1000)};
    DWORD returned = 0;
    WSAIoctl(SOCKET(socketDescriptor), SIO_KEEPALIVE_VALS, &settings, sizeof settings, nullptr, 0, &returned,
             nullptr, nullptr);
#else
    const int fd = int(socketDescriptor);
    const auto set = [fd](int level, int name, int value) {
        setsockopt(fd, level, name, &value, sizeof value);
    };
    set(SOL_SOCKET, SO_KEEPALIVE, 1);
    set(IPPROTO_TCP, TCP_KEEPIDLE, kIdleSeconds);
    set(IPPROTO_TCP, TCP_KEEPINTVL, kIntervalSeconds);
    set(IPPROTO_TCP, TCP_KEEPCNT, kProbes);
#ifdef TCP_USER_TIMEOUT
    set(IPPROTO_TCP, TCP_USER_TIMEOUT, (kIdleSeconds + kIntervalSeconds * kProbes) * 1000);
#endif
#endif
}

} // namespace TcpKeepAlive
