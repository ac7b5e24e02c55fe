#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair: the program opens the slave path as a serial
// device, the test plays the far end on the master side.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    QString slavePath() const { return m_slavePath; }
    void write(const QByteArray& bytes);
    // Reads until `count` bytes came or `timeoutMs` passed.
    QByteArray read(int count, int timeoutMs = 5000);
    // Closes the far end, as when the device goes away.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1; // held open so that the line stays up until the program opens it
    QString m_slavePath;
};
