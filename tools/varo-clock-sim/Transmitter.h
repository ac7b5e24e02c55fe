#pragma once

#include "MasterClock.h"

#include <QObject>
#include <QTimer>
#include <deque>

class FrameLog;
class Line;
struct SimOptions;

// Puts the master clock's frames on the line and logs each write. Answers go
// through the fault modes (delay, time frame first, stray bytes, cut, pieces), one after the
// other in the order they were made; time frames go out at once, since their
// moment is the point, even between the pieces of an answer.
class Transmitter : public QObject {
    Q_OBJECT
public:
    Transmitter(Line& line, FrameLog& log, const SimOptions& options, QObject* parent = nullptr);

    // `timeFrame` goes out right before the answer with --time-frame-first.
    void sendAnswer(const Outgoing& answer, const Outgoing& timeFrame);
    void sendNow(const Outgoing& frame);

private:
    struct Write {
        Outgoing frame;
        int pauseBeforeMs;
    };

    void sendNext();

    Line& m_line;
    FrameLog& m_log;
    const SimOptions& m_options;
    std::deque<Write> m_queue;
    QTimer m_pause;
};
