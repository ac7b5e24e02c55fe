#pragma once

#include "RmcSentence.h"

#include <QObject>
#include <QTimer>

class QDateTime;
class RuntimeError;
class SerialPortComponent;
class WallClock;

// A GPS receiver that keeps talking: the RMC sentence of every second, sent
// right after its boundary, until stopped or the port closes. Between two
// sentences the event loop runs; a timer wakes shortly before each boundary,
// and the boundary itself is caught by the same wait as a single sentence's.
class RmcStream : public QObject {
    Q_OBJECT
public:
    RmcStream(SerialPortComponent& port, WallClock& clock, QObject* parent = nullptr);

    // Starts with the next boundary: `count` sentences, or until stop() when 0.
    // status: 'A' for a valid fix, 'V' for no valid fix.
    void start(char status, int count = 0);
    void stop();

    bool isRunning() const { return m_running; }
    char status() const { return m_status; }

signals:
    void sent(const RmcSentence& sentence);
    // The write failed; the stream has stopped.
    void failed(const RuntimeError& error);
    // Emitted once whenever a running stream ends, for whatever reason.
    void stopped();

private:
    void wake();
    void send(const QDateTime& second);
    void scheduleWake();

    SerialPortComponent& m_port;
    WallClock& m_clock;
    QTimer m_timer;
    char m_status = 'A';
    int m_remaining = 0; // sentences still to send; 0 for no limit
    bool m_running = false;
    qint64 m_lastSecond = 0; // epoch second of the last sentence (or of the start)
    int m_secondMarker = 0;
};
