#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

// The floor of a door: the set-time frame for the next second, made before
// it, written at its boundary by one system call on a descriptor opened long
// before, after a wait of the bench's own that watches the clock for the last
// few milliseconds. What is left is the way from the write to the simulator,
// which no program can shorten (the pseudo-terminal, or ser2net and the
// pseudo-terminal behind it), and how this machine lets a thread run at the
// boundary.
class BareWrite {
public:
    ~BareWrite();
    BareWrite(const BareWrite&) = delete;
    BareWrite& operator=(const BareWrite&) = delete;

    // The simulator's pseudo-terminal, raw, as the program opens it.
    static std::unique_ptr<BareWrite> toPseudoTerminal(const QString& device, QString* error);
    // A raw TCP connection to a port of ser2net on 127.0.0.1, without delay.
    static std::unique_ptr<BareWrite> toTcpPort(quint16 port, QString* error);

    // Writes the frame for the next second right at its boundary; false, with
    // the reason, when the write is refused.
    bool writeAtNextBoundary(QString* error);

private:
    BareWrite(int descriptor, bool socket) : m_descriptor(descriptor), m_socket(socket) {}

    int m_descriptor;
    bool m_socket;
};
