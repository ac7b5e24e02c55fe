#pragma once

#include "AnswerWait.h"
#include "BoundaryWrite.h"
#include "ClockOutcome.h"
#include "ClockRequest.h"
#include "PortChoice.h"
#include "RmcStream.h"
#include "TimeFrameMonitor.h"

#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class PortCatalog;
class QEventLoop;
class SerialPortComponent;
class WallClock;

// The conversation with one master clock on one port, for every front-end:
// it performs each exchange from a request to a typed outcome, lets one
// command hold the line at a time, reads the master clock's own time frames
// between commands, and reports every frame sent, received and flushed.
//
// Each exchange comes in two forms. The blocking form (the window, the
// command line) waits for a second boundary without letting events run and
// for an answer with events running. The non-blocking form (a server) returns
// at once and calls back with the outcome; it wakes from the event loop
// shortly before a boundary and only watches the clock for the last moments.
class ClockSession : public QObject {
    Q_OBJECT
public:
    // `ports` tells where the numbered ports are and opens named devices;
    // without it only the numbered ports open.
    ClockSession(SerialPortComponent& port, WallClock& clock, PortCatalog* ports = nullptr,
                 QObject* parent = nullptr);
    ~ClockSession() override;

    SerialPortComponent& port() { return m_port; }
    const SerialPortComponent& port() const { return m_port; }

    // The line held by one command, for as long as the object lives, however
    // the command ends.
    class LineHold {
    public:
        LineHold(LineHold&& other) noexcept : m_session(std::exchange(other.m_session, nullptr)) {}
        LineHold(const LineHold&) = delete;
        LineHold& operator=(const LineHold&) = delete;
        LineHold& operator=(LineHold&&) = delete;
        ~LineHold();

    private:
        friend class ClockSession;
        explicit LineHold(ClockSession* session) : m_session(session) {}
        ClockSession* m_session;
    };
    // Takes the line for a command and ends a running GPS stream; nothing
    // while another command holds it.
    std::optional<LineHold> holdLine();
    bool lineHeld() const { return m_held; }

    // Called once the frame has been written, or its write has failed (the
    // outcome's error is set then), before any answer wait: a front-end shows
    // the frame then.
    using Written = std::function<void(const ClockOutcome&)>;
    using Done = std::function<void(const ClockOutcome&)>;

    // The blocking form, under the caller's hold.
    ClockOutcome run(const ClockRequest& request, const LineHold& hold, const Written& written = {});
    // The non-blocking form: false at once while another command holds the
    // line; otherwise it holds the line itself and `done` follows from the
    // event loop, never from within start(). A set time that asks to be
    // confirmed is done once the master clock's next time frame came, or 3 s
    // passed, with the line free meanwhile.
    bool start(const ClockRequest& request, Done done);
    // Ends a running exchange at once; its outcome is Cancelled. Set times
    // waiting to be confirmed are done at once, with no time frame.
    void cancel();

    // The GPS receiver that keeps talking; any command ends it.
    RmcStream& gpsStream() { return m_gpsStream; }

    // Opens the chosen port instead of the open one; a failure raises its
    // RuntimeError. A named device that fails leaves the open port open; a
    // listed port closes the open one first, and a failure leaves it closed.
    void openPort(const PortChoice& choice);
    // "Com16", or the device the operator named.
    QString portLabel() const;
    // The device behind the open port.
    QString openLocation() const;

signals:
    void lineHeldChanged(bool held);
    // Every frame written, every answer or time frame read, and what a flush
    // threw away before a command.
    void frameSent(const QByteArray& bytes);
    void frameReceived(const QByteArray& bytes);
    void frameFlushed(const QByteArray& bytes);
    // A time frame read between commands.
    void timeFrameSeen(const TimeFrameMonitor::Sighting& sighting);
    // Every exchange's end, in either form.
    void exchangeFinished(const ClockRequest& request, const ClockOutcome& outcome);

private:
    struct Exchange;
    struct Confirmation {
        quint64 id;
        ClockOutcome outcome;
        Done done;
        // When the set-time frame had reached the master clock, in
        // microseconds since 1970: a time frame that left before is not its.
        qint64 takenUs;
    };

    void release();
    void begin();
    void flush();
    // Makes the frame for `now` and writes it.
    void writeFrame(const QDateTime& now);
    void awaitBoundary();
    void writeAtBoundary();
    FrameMaker frameMaker();
    void answerArrived(AnswerWait::Outcome result);
    void notifyWritten();
    void fail(const RuntimeError& error);
    void finish(ClockOutcome::Status status);
    void awaitConfirmation(const ClockOutcome& outcome, Done done);
    void confirm(const std::optional<TimeFrameMonitor::Sighting>& sighting);
    bool sendsTimeFrames() const;
    void readTimeFrames();

    SerialPortComponent& m_port;
    WallClock& m_clock;
    PortCatalog* m_ports;
    RmcStream m_gpsStream;
    AnswerWait m_answerWait;
    BoundaryWake m_boundaryWake;
    std::unique_ptr<Exchange> m_exchange;
    QEventLoop* m_blockingLoop = nullptr;
    bool m_held = false;
    bool m_flushing = false;

    TimeFrameMonitor m_timeFrames;
    bool m_lineUsedByCommand = false;
    QElapsedTimer m_sinceLastSighting;
    std::vector<Confirmation> m_confirmations;
    quint64 m_lastConfirmation = 0;
};
