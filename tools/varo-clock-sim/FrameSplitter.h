#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>
#include <vector>

// Cuts the byte stream from the line into frames. A binary frame is known by
// its command byte (0xAA, 0xBB, 0xCC, 0xDD) and has that command's fixed
// length; an NMEA sentence starts with '$' and ends with CR LF. Bytes that
// cannot start a frame are handed back as stray, and a frame that stays
// incomplete for too long is given up, so one lost byte cannot wedge the line.
// Pure: the caller supplies the times, in microseconds of any one clock.
class FrameSplitter {
public:
    enum class Kind {
        Frame,      // a complete frame
        Stray,      // bytes before a frame start, dropped
        Incomplete, // the start of a frame whose rest did not come in time, dropped
        Overlong,   // a '$' sentence with no CR LF within the NMEA maximum, dropped
    };

    struct Piece {
        Kind kind;
        QByteArray bytes;
        qint64 atUs; // when its last byte was fed (Incomplete: when it was given up)

        bool operator==(const Piece& other) const {
            return kind == other.kind && bytes == other.bytes && atUs == other.atUs;
        }
    };

    static constexpr qint64 kDefaultTimeoutUs = 500'000;
    static constexpr int kMaxSentenceLength = 82; // NMEA 0183, '$' and CR LF included

    explicit FrameSplitter(qint64 timeoutUs = kDefaultTimeoutUs) : m_timeoutUs(timeoutUs) {}

    // Takes one chunk as read from the line at `nowUs`; a pending frame that has
    // grown too old by then is given up before the chunk is looked at.
    std::vector<Piece> feed(const QByteArray& chunk, qint64 nowUs);

    // Gives up the pending frame if it is older than the timeout at `nowUs`.
    std::optional<Piece> expire(qint64 nowUs);

    // When the pending frame will be given up; nothing while none is pending.
    std::optional<qint64> deadlineUs() const;

    // The length a binary frame starting with `command` has; nothing for a byte
    // that starts no binary frame.
    static std::optional<int> binaryLength(quint8 command);

private:
    // Takes every complete piece off the front of the buffer.
    void split(std::vector<Piece>& pieces, qint64 nowUs);

    qint64 m_timeoutUs;
    QByteArray m_buffer;  // empty or the start of one frame
    qint64 m_startUs = 0; // when the first byte of the buffer came
};
