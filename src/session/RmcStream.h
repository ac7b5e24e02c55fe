#pragma once

#include "BoundaryWrite.h"
#include "gps/RmcSentence.h"

#include <QObject>

class QDateTime;
class RuntimeError;
class SerialPortComponent;
class WallClock;

// A GPS receiver that keeps talking: the RMC sentence of every second, sent
// right after its boundary, until stopped or the port closes. Between two
// sentences the event loop runs; it wakes shortly before each boundary, and
// the boundary itself is caught by the same wait as a single sentence's.
class RmcStream : public QObject {
    Q_OBJECT
public:
    // Why a running stream ended.
    enum class End {
        Stopped,          // stop() by its front-end
        LineTaken,        // a command took the line
        LineSpeedChanged, // the port is reopened at another speed
        PortClosed,       // the port closed, or its device went away
        Failed,           // a sentence could not be written (failed() says why)
        Done,             // all the sentences asked for went out
    };
    Q_ENUM(End)

    RmcStream(SerialPortComponent& port, WallClock& clock, QObject* parent = nullptr);

    // Starts with the next boundary: `count` sentences, or until stop() when 0.
    // status: 'A' for a valid fix, 'V' for no valid fix.
    void start(char status, int count = 0);
    void stop(End why = End::Stopped);

    bool isRunning() const { return m_running; }
    char status() const { return m_status; }

signals:
    // A sentence was written.
    void sent(const RmcSentence& sentence);
    // The write failed; the stream has stopped.
    void failed(const RuntimeError& error);
    // Emitted once whenever a running stream ends, with the reason.
    void stopped(RmcStream::End why);

private:
    void wake();
    void sentOne();

    SerialPortComponent& m_port;
    WallClock& m_clock;
    BoundaryWake m_wake;
    char m_status = 'A';
    int m_remaining = 0; // sentences still to send; 0 for no limit
    bool m_running = false;
    RmcSentence m_sentence;
};
