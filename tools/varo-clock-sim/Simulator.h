#pragma once

#include "BoundaryTimer.h"
#include "FrameSplitter.h"
#include "MasterClock.h"
#include "SimOptions.h"
#include "Transmitter.h"

#include <QObject>
#include <QTimer>
#include <array>

class FrameLog;
class Line;

// The master clock on its line: splits what arrives into frames, lets the
// clock react, sends its answers and time frames, runs its temporary
// countdowns and decides when the run is over.
class Simulator : public QObject {
    Q_OBJECT
public:
    Simulator(Line& line, FrameLog& log, const SimOptions& options, QObject* parent = nullptr);

    void start();

signals:
    void finished(int exitCode);

private:
    void receive(const QByteArray& chunk, qint64 atUs);
    void handle(const FrameSplitter::Piece& piece);
    void expireIncompleteFrame();
    void scheduleIncompleteFrameExpiry();
    void startCountdown(const MasterClock::Countdown& countdown);
    void scheduleTimeFrame(qint64 afterUs);
    void sendTimeFrame(qint64 boundaryUs);
    void peerCountChanged(int openCount);

    Line& m_line;
    FrameLog& m_log;
    SimOptions m_options;
    FrameSplitter m_splitter;
    MasterClock m_clock;
    Transmitter m_transmitter;
    QTimer m_incompleteFrameTimer;
    BoundaryTimer m_timeFrameTimer;
    std::array<QTimer, 2> m_countdownTimers;   // countdown clocks 1 and 2
    std::array<QString, 2> m_countdownTargets; // when each runs out, for the log
    QTimer m_hangupTimer;
};
