#include "Transmitter.h"

#include "FrameLog.h"
#include "Line.h"
#include "MicroClock.h"
#include "SimOptions.h"

namespace {
constexpr char kStrayByte = 0x55;
}

Transmitter::Transmitter(Line& line, FrameLog& log, const SimOptions& options, QObject* parent)
    : QObject(parent), m_line(line), m_log(log), m_options(options) {
    m_pause.setSingleShot(true);
    m_pause.setTimerType(Qt::PreciseTimer);
    connect(&m_pause, &QTimer::timeout, this, [this] {
        sendNow(m_queue.front().frame);
        m_queue.pop_front();
        sendNext();
    });
}

void Transmitter::sendAnswer(const Outgoing& answer, const Outgoing& timeFrame) {
    const bool idle = m_queue.empty();
    int pauseMs = m_options.delayMs;
    if (m_options.timeFrameFirst) {
        m_queue.push_back({timeFrame, pauseMs});
        pauseMs = 0;
    }
    if (m_options.stray > 0) {
        m_queue.push_back(
            {{QByteArray(m_options.stray, kStrayByte), QStringLiteral("stray bytes")}, pauseMs});
        pauseMs = 0;
    }
    QByteArray bytes = answer.bytes;
    QString text = answer.text;
    if (m_options.cut > 0 && m_options.cut < bytes.size()) {
        text += QStringLiteral(" [cut to %1 of %2 bytes]").arg(m_options.cut).arg(bytes.size());
        bytes.truncate(m_options.cut);
    }
    const int pieceSize = m_options.split > 0 ? m_options.split : int(bytes.size());
    const int pieces = (int(bytes.size()) + pieceSize - 1) / pieceSize;
    for (int piece = 0; piece < pieces; ++piece) {
        const QString pieceText =
            pieces == 1 ? text : text + QStringLiteral(" [piece %1 of %2]").arg(piece + 1).arg(pieces);
        m_queue.push_back({{bytes.mid(piece * pieceSize, pieceSize), pieceText}, pauseMs});
        pauseMs = m_options.splitDelayMs;
    }
    if (idle)
        sendNext();
}

void Transmitter::sendNow(const Outgoing& frame) {
    const QString problem = m_line.write(frame.bytes);
    const QString text = problem.isEmpty() ? frame.text : frame.text + QStringLiteral(" [") + problem + ']';
    m_log.frame(MicroClock::nowUs(), FrameLog::Direction::Sent, frame.bytes, text);
}

void Transmitter::sendNext() {
    while (!m_queue.empty() && m_queue.front().pauseBeforeMs == 0) {
        sendNow(m_queue.front().frame);
        m_queue.pop_front();
    }
    if (!m_queue.empty())
        m_pause.start(m_queue.front().pauseBeforeMs);
}
