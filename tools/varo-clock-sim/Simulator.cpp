#include "Simulator.h"

#include "FrameLog.h"
#include "FrameText.h"
#include "Line.h"
#include "MicroClock.h"
#include "RmcCheck.h"

namespace {
// What became of a piece that is not a binary frame.
QString pieceText(const FrameSplitter::Piece& piece) {
    if (piece.kind == FrameSplitter::Kind::Stray)
        return QStringLiteral("stray bytes dropped");
    if (piece.kind == FrameSplitter::Kind::Incomplete)
        return QStringLiteral("incomplete frame dropped (%1 bytes)").arg(piece.bytes.size());
    if (piece.kind == FrameSplitter::Kind::Overlong)
        return QStringLiteral("NMEA sentence without CR LF dropped");
    return RmcCheck::describe(piece.bytes);
}
} // namespace

Simulator::Simulator(Line& line, FrameLog& log, const SimOptions& options, QObject* parent)
    : QObject(parent), m_line(line), m_log(log), m_options(options),
      m_clock(DeviceClock::localTime(options.offsetMs), options.foreign, options.ignoreSetTime),
      m_transmitter(line, log, m_options) {
    // Coarse timers may fire up to 5 % early; every deadline here is meant as
    // given. Qt's timers count monotonic time, so the grace and the
    // countdowns last as long as they should, however the wall clock is set.
    m_incompleteFrameTimer.setSingleShot(true);
    m_incompleteFrameTimer.setTimerType(Qt::PreciseTimer);
    m_hangupTimer.setSingleShot(true);
    m_hangupTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_line, &Line::received, this, &Simulator::receive);
    connect(&m_line, &Line::peerCountChanged, this, &Simulator::peerCountChanged);
    connect(&m_line, &Line::lost, this, [this](const QString& reason) {
        m_log.event(MicroClock::nowUs(), QStringLiteral("line lost: ") + reason);
        emit finished(1);
    });
    connect(&m_incompleteFrameTimer, &QTimer::timeout, this, &Simulator::expireIncompleteFrame);
    connect(&m_timeFrameTimer, &BoundaryTimer::reached, this, &Simulator::sendTimeFrame);
    connect(&m_timeFrameTimer, &BoundaryTimer::wallClockStepped, this, [this](qint64 stepUs) {
        const qint64 nowUs = MicroClock::nowUs();
        m_log.event(nowUs, QStringLiteral("wall clock stepped by %1 s; time frames follow the clock's new "
                                          "boundaries")
                               .arg(double(stepUs) / 1e6, 0, 'f', 3));
        scheduleTimeFrame(nowUs);
    });
    connect(&m_hangupTimer, &QTimer::timeout, this, [this] {
        m_log.event(MicroClock::nowUs(), QStringLiteral("peer closed the device; ending"));
        emit finished(0);
    });
    for (int index = 0; index < int(m_countdownTimers.size()); ++index) {
        m_countdownTimers[index].setSingleShot(true);
        m_countdownTimers[index].setTimerType(Qt::PreciseTimer);
        connect(&m_countdownTimers[index], &QTimer::timeout, this, [this, index] {
            m_log.event(MicroClock::nowUs(), QStringLiteral("countdown clock %1 ran out at %2")
                                                 .arg(QString::number(index + 1), m_countdownTargets[index]));
        });
    }
}

void Simulator::start() {
    const qint64 nowUs = MicroClock::nowUs();
    m_log.event(nowUs, QStringLiteral("master clock on %1, clock time %2")
                           .arg(m_line.deviceName(), FrameText::clockTime(m_clock.clock().at(nowUs))));
    if (m_options.timeFrameSeconds > 0)
        scheduleTimeFrame(nowUs);
}

void Simulator::receive(const QByteArray& chunk, qint64 atUs) {
    for (const FrameSplitter::Piece& piece : m_splitter.feed(chunk, atUs))
        handle(piece);
    scheduleIncompleteFrameExpiry();
}

void Simulator::handle(const FrameSplitter::Piece& piece) {
    if (piece.kind != FrameSplitter::Kind::Frame || piece.bytes.startsWith('$')) {
        m_log.frame(piece.atUs, FrameLog::Direction::Received, piece.bytes, pieceText(piece));
        return;
    }
    const MasterClock::Reaction reaction = m_clock.receive(piece.bytes, piece.atUs);
    m_log.frame(piece.atUs, FrameLog::Direction::Received, piece.bytes, reaction.text);
    if (reaction.clockSet && m_options.timeFrameSeconds > 0)
        scheduleTimeFrame(piece.atUs);
    if (reaction.countdown)
        startCountdown(*reaction.countdown);
    if (!reaction.answer)
        return;
    if (m_options.silent)
        m_log.event(MicroClock::nowUs(), QStringLiteral("answer withheld (--silent)"));
    else
        m_transmitter.sendAnswer(*reaction.answer, m_clock.timeFrame(MicroClock::nowUs()));
}

void Simulator::expireIncompleteFrame() {
    if (const auto piece = m_splitter.expire(MicroClock::nowUs()))
        handle(*piece);
    scheduleIncompleteFrameExpiry();
}

void Simulator::scheduleIncompleteFrameExpiry() {
    const auto deadlineUs = m_splitter.deadlineUs();
    if (!deadlineUs) {
        m_incompleteFrameTimer.stop();
        return;
    }
    // One millisecond past the deadline, so the frame is old enough when the timer fires.
    const qint64 inUs = *deadlineUs - MicroClock::nowUs();
    m_incompleteFrameTimer.start(int(qMax<qint64>(inUs / 1000 + 1, 0)));
}

void Simulator::startCountdown(const MasterClock::Countdown& countdown) {
    const int index = countdown.clockNumber - 1;
    m_countdownTargets[index] = countdown.targetText;
    m_countdownTimers[index].start(int(countdown.remainingUs / 1000));
}

void Simulator::scheduleTimeFrame(qint64 afterUs) {
    m_timeFrameTimer.fireAt(m_clock.clock().nextBoundaryUs(afterUs));
}

void Simulator::sendTimeFrame(qint64 boundaryUs) {
    m_transmitter.sendNow(m_clock.timeFrame(boundaryUs));
    const qint64 periodUs = qint64(m_options.timeFrameSeconds) * 1'000'000;
    m_timeFrameTimer.fireAt(boundaryUs + periodUs);
}

void Simulator::peerCountChanged(int openCount) {
    m_log.event(MicroClock::nowUs(), QStringLiteral("peers with the device open: %1").arg(openCount));
    if (openCount > 0)
        m_hangupTimer.stop();
    else if (!m_options.persist)
        m_hangupTimer.start(m_options.hangupGraceMs);
}
