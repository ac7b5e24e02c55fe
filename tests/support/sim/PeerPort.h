#pragma once

#include <QByteArray>
#include <QString>

// The other end of the simulator's line, as a program would open it: the
// device in raw mode, read and written with plain POSIX calls.
class PeerPort {
public:
    PeerPort() = default;
    explicit PeerPort(int fd) : m_fd(fd) {}
    ~PeerPort();
    PeerPort(const PeerPort&) = delete;
    PeerPort& operator=(const PeerPort&) = delete;

    bool open(const QString& devicePath);
    bool isOpen() const { return m_fd >= 0; }
    void close();

    bool write(const QByteArray& bytes);

    // Reads until `count` bytes came or `timeoutMs` passed; returns what came.
    QByteArray read(int count, int timeoutMs = 5000);

    // True when no byte is waiting right now.
    bool nothingWaiting();

private:
    int m_fd = -1;
};
