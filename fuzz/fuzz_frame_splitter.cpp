// The simulator's receiving side on a line that delivers bytes in chunks at
// chosen times: the frame splitter, then, as the simulator hands them on, the
// master clock for binary frames and the RMC check for sentences. The input
// is a list of steps: one control byte, whose low six bits give the chunk
// length (0: the expiry timer fires instead) and whose top two bits move the
// clock (not at all, by the next byte x 4096 us, to the pending frame's
// deadline, or just past it), then the chunk's bytes.
#include "FrameSplitter.h"
#include "FuzzCheck.h"
#include "MasterClock.h"
#include "RmcCheck.h"
#include "protocol/Frames.h"
#include "schedule/FormDefaults.h"
#include "schedule/GroupRecord.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {
using Kind = FrameSplitter::Kind;
using Piece = FrameSplitter::Piece;

const QByteArray kSentenceEnd = QByteArrayLiteral("\r\n");

bool startsFrame(char byte) {
    return byte == '$' || FrameSplitter::binaryLength(quint8(byte)).has_value();
}

// Everything fed, with the time each byte came, and what has come out of it.
class FedBytes {
public:
    void add(const QByteArray& chunk, qint64 nowUs) {
        m_in += chunk;
        m_byteUs.insert(m_byteUs.end(), size_t(chunk.size()), nowUs);
    }

    void check(const std::vector<Piece>& pieces, qint64 nowUs) {
        for (const Piece& piece : pieces)
            checkPiece(piece, nowUs);
    }

    // Afterwards only the pending frame is left, due at its first byte's time
    // plus the timeout and not yet overdue.
    void checkPending(const FrameSplitter& splitter, qint64 nowUs) const {
        const std::optional<qint64> deadline = splitter.deadlineUs();
        FUZZ_CHECK(deadline.has_value() == (m_out < m_in.size()));
        if (!deadline)
            return;
        FUZZ_CHECK(startsFrame(m_in.at(m_out)));
        FUZZ_CHECK(*deadline == m_byteUs[size_t(m_out)] + FrameSplitter::kDefaultTimeoutUs);
        FUZZ_CHECK(*deadline >= nowUs);
    }

    bool allOut() const { return m_out == m_in.size(); }

private:
    void checkPiece(const Piece& piece, qint64 nowUs) {
        const QByteArray& bytes = piece.bytes;
        FUZZ_CHECK(!bytes.isEmpty());
        FUZZ_CHECK(piece.atUs == nowUs);
        // Pieces come out in order, each byte once.
        FUZZ_CHECK(m_in.mid(m_out, bytes.size()) == bytes);
        const qint64 firstByteUs = m_byteUs[size_t(m_out)];
        m_out += bytes.size();

        const std::optional<int> binaryLength = FrameSplitter::binaryLength(quint8(bytes[0]));
        const bool sentence = bytes[0] == '$';
        switch (piece.kind) {
        case Kind::Frame:
            if (sentence) {
                FUZZ_CHECK(bytes.size() <= FrameSplitter::kMaxSentenceLength);
                FUZZ_CHECK(bytes.indexOf(kSentenceEnd) == bytes.size() - kSentenceEnd.size());
            } else {
                FUZZ_CHECK(binaryLength && bytes.size() == *binaryLength);
            }
            break;
        case Kind::Stray:
            for (char byte : bytes)
                FUZZ_CHECK(!startsFrame(byte));
            break;
        case Kind::Incomplete:
            FUZZ_CHECK(nowUs - firstByteUs > FrameSplitter::kDefaultTimeoutUs);
            if (sentence) {
                FUZZ_CHECK(bytes.size() < FrameSplitter::kMaxSentenceLength);
                FUZZ_CHECK(!bytes.contains(kSentenceEnd));
            } else {
                FUZZ_CHECK(binaryLength && bytes.size() < *binaryLength);
            }
            break;
        case Kind::Overlong:
            FUZZ_CHECK(sentence && bytes.size() == FrameSplitter::kMaxSentenceLength);
            FUZZ_CHECK(!bytes.contains(kSentenceEnd));
            break;
        }
    }

    QByteArray m_in;
    std::vector<qint64> m_byteUs;
    qsizetype m_out = 0;
};

// The master clock behind the splitter, with what its countdown clocks should
// hold by the write frames it was given.
class Receiver {
public:
    // Each input starts from a copy of one fresh clock: making it is slow.
    Receiver() : m_clock(freshClock()) { m_records.fill(defaultRecords()); }

    void handOn(const std::vector<Piece>& pieces) {
        for (const Piece& piece : pieces)
            handOn(piece);
    }

    void handOn(const Piece& piece) {
        if (piece.kind != Kind::Frame)
            return;
        if (piece.bytes.startsWith('$')) {
            FUZZ_CHECK(!RmcCheck::describe(piece.bytes).isEmpty());
            return;
        }
        const MasterClock::Reaction reaction = m_clock.receive(piece.bytes, piece.atUs);
        FUZZ_CHECK(!reaction.text.isEmpty());
        // A clock set by a frame reads back that frame's date, weekday and time.
        if (reaction.clockSet)
            FUZZ_CHECK(m_clock.timeFrame(piece.atUs).bytes == piece.bytes);
        if (reaction.countdown) {
            FUZZ_CHECK(reaction.countdown->clockNumber ==
                       quint8(piece.bytes[1]) - Frames::ClockBase::Countdown);
            FUZZ_CHECK(reaction.countdown->remainingUs >= 0 &&
                       reaction.countdown->remainingUs < qint64(24) * 3600 * 1'000'000);
        }
        const quint8 command = quint8(piece.bytes[0]);
        const std::optional<int> clockIndex =
            command == Frames::Code::WriteSettings
                ? Frames::answeredClockIndex(piece.bytes, command, Frames::ClockBase::Write)
                : Frames::answeredClockIndex(piece.bytes, command, Frames::ClockBase::ReadRequest);
        FUZZ_CHECK(reaction.answer.has_value() ==
                   (clockIndex.has_value() &&
                    (command == Frames::Code::WriteSettings || command == Frames::Code::ReadSettings)));
        if (!reaction.answer)
            return;
        if (command == Frames::Code::WriteSettings)
            m_records[*clockIndex] = withoutUnusedBits(piece.bytes.mid(GroupRecord::kFirstOffset));
        // A write is answered by a write reply, a read by a settings reply,
        // each carrying the groups the addressed clock now holds.
        const QByteArray& answer = reaction.answer->bytes;
        const quint8 base = command == Frames::Code::WriteSettings ? Frames::ClockBase::WriteReply
                                                                   : Frames::ClockBase::SettingsReply;
        FUZZ_CHECK(answer.size() == Frames::Length::Settings);
        FUZZ_CHECK(Frames::answeredClockIndex(answer, command, base) == clockIndex);
        FUZZ_CHECK(answer.mid(GroupRecord::kFirstOffset) == m_records[*clockIndex]);
    }

private:
    static const MasterClock& freshClock() {
        static const MasterClock clock(DeviceClock::localTime(), false, false);
        return clock;
    }

    static const QByteArray& defaultRecords() {
        static const QByteArray records = formDefaultRecords();
        return records;
    }

    // Bit 7 of each record's two hour bytes is not kept.
    static QByteArray withoutUnusedBits(QByteArray records) {
        for (int offset = 0; offset < records.size(); offset += GroupRecord::kSize) {
            records[offset] = char(quint8(records[offset]) & 0x7F);
            records[offset + 3] = char(quint8(records[offset + 3]) & 0x7F);
        }
        return records;
    }

    MasterClock m_clock;
    std::array<QByteArray, 2> m_records;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FrameSplitter splitter;
    FedBytes fed;
    Receiver receiver;
    qint64 nowUs = 0;
    size_t pos = 0;
    while (pos < size) {
        const uint8_t control = data[pos++];
        const std::optional<qint64> deadline = splitter.deadlineUs();
        switch (control >> 6) {
        case 1:
            if (pos < size)
                nowUs += qint64(data[pos++]) * 4096;
            break;
        case 2:
            nowUs = deadline ? std::max(nowUs, *deadline) : nowUs;
            break;
        case 3:
            nowUs = deadline ? std::max(nowUs, *deadline + 1) : nowUs;
            break;
        }
        const size_t length = std::min<size_t>(control & 0x3F, size - pos);
        if (length == 0) {
            // The simulator hands on an expired piece too, but it is never a frame.
            if (const std::optional<Piece> given = splitter.expire(nowUs))
                fed.check({*given}, nowUs);
        } else {
            const QByteArray chunk(reinterpret_cast<const char*>(data + pos), qsizetype(length));
            pos += length;
            fed.add(chunk, nowUs);
            const std::vector<Piece> pieces = splitter.feed(chunk, nowUs);
            fed.check(pieces, nowUs);
            receiver.handOn(pieces);
        }
        fed.checkPending(splitter, nowUs);
    }
    // Long after the last byte, nothing may be left behind.
    nowUs += FrameSplitter::kDefaultTimeoutUs + 1;
    if (const std::optional<Piece> given = splitter.expire(nowUs))
        fed.check({*given}, nowUs);
    FUZZ_CHECK(fed.allOut());
    FUZZ_CHECK(!splitter.deadlineUs());
    return 0;
}
