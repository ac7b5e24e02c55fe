#include "FrameSplitter.h"

#include "ClockProtocol.h"

namespace {
constexpr char kSentenceStart = '$';
const QByteArray kSentenceEnd = QByteArrayLiteral("\r\n");

bool startsFrame(char byte) {
    return byte == kSentenceStart || FrameSplitter::binaryLength(quint8(byte)).has_value();
}
} // namespace

std::optional<int> FrameSplitter::binaryLength(quint8 command) {
    if (const ClockProtocol::Command* known = ClockProtocol::commandOf(command))
        return known->request.length;
    return std::nullopt;
}

std::vector<FrameSplitter::Piece> FrameSplitter::feed(const QByteArray& chunk, qint64 nowUs) {
    std::vector<Piece> pieces;
    if (std::optional<Piece> given = expire(nowUs))
        pieces.push_back(*given);
    if (m_buffer.isEmpty())
        m_startUs = nowUs;
    m_buffer.append(chunk);
    split(pieces, nowUs);
    return pieces;
}

std::optional<FrameSplitter::Piece> FrameSplitter::expire(qint64 nowUs) {
    if (m_buffer.isEmpty() || nowUs - m_startUs <= m_timeoutUs)
        return std::nullopt;
    Piece given{Kind::Incomplete, m_buffer, nowUs};
    m_buffer.clear();
    return given;
}

std::optional<qint64> FrameSplitter::deadlineUs() const {
    if (m_buffer.isEmpty())
        return std::nullopt;
    return m_startUs + m_timeoutUs;
}

void FrameSplitter::split(std::vector<Piece>& pieces, qint64 nowUs) {
    const auto takeFront = [&](Kind kind, int length) {
        pieces.push_back({kind, m_buffer.left(length), nowUs});
        m_buffer.remove(0, length);
        m_startUs = nowUs; // whatever is left came with this chunk
    };
    while (!m_buffer.isEmpty()) {
        const char first = m_buffer.at(0);
        if (!startsFrame(first)) {
            int stray = 1;
            while (stray < m_buffer.size() && !startsFrame(m_buffer.at(stray)))
                ++stray;
            takeFront(Kind::Stray, stray);
        } else if (first == kSentenceStart) {
            const int end = m_buffer.indexOf(kSentenceEnd);
            const int length = end < 0 ? -1 : end + kSentenceEnd.size();
            if (length > 0 && length <= kMaxSentenceLength)
                takeFront(Kind::Frame, length);
            else if (m_buffer.size() >= kMaxSentenceLength)
                takeFront(Kind::Overlong, kMaxSentenceLength);
            else
                return;
        } else {
            const int length = *binaryLength(quint8(first));
            if (m_buffer.size() < length)
                return;
            takeFront(Kind::Frame, length);
        }
    }
}
