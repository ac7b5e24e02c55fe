#include "PtyPeerWatch.h"

#include "SystemError.h"

#include <QSocketNotifier>
#include <sys/inotify.h>
#include <unistd.h>

PtyPeerWatch::PtyPeerWatch(QObject* parent) : QObject(parent) {}

PtyPeerWatch::~PtyPeerWatch() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool PtyPeerWatch::watch(const QString& devicePath, QString* error) {
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0 || inotify_add_watch(m_fd, devicePath.toLocal8Bit().constData(), IN_OPEN | IN_CLOSE) < 0) {
        *error = systemError(QStringLiteral("cannot watch ") + devicePath);
        return false;
    }
    auto* notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &PtyPeerWatch::refresh);
    return true;
}

int PtyPeerWatch::refresh() {
    const int before = m_openCount;
    alignas(inotify_event) char buffer[4096];
    ssize_t length;
    while ((length = ::read(m_fd, buffer, sizeof buffer)) > 0) {
        for (const char* p = buffer; p < buffer + length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            if (event->mask & IN_OPEN)
                ++m_openCount;
            if ((event->mask & IN_CLOSE) && m_openCount > 0)
                --m_openCount;
            p += sizeof(inotify_event) + event->len;
        }
    }
    if (m_openCount != before)
        emit countChanged(m_openCount);
    return m_openCount;
}
