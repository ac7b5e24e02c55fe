#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Where one HTTP/1.1 request ends in what a connection brought, and whether
// it is framed beyond doubt. Qt's HTTP server of 6.4 reads lengths and chunks
// loosely (a malformed length loses the body and the route still runs, a
// header beyond its hundredth loses them all), so the service lets it read
// only requests that pass here, where both read the same request. Strict on
// purpose: lines end in CR LF, one length or the chunked coding and never
// both, hexadecimal chunk sizes, no trailers, no folded headers.
namespace RequestFraming {

struct Limits {
    qint64 mostBodyBytes;
    qsizetype mostHeadBytes;
    int mostHeaderLines;
};

struct Verdict {
    enum class Kind { Partial, Whole, Refused };
    Kind kind = Kind::Partial;
    bool headWhole = false;       // the request line and the headers have come
    bool expectsContinue = false; // ... and ask to be told to send the body
    bool closes = false;          // ... and ask to close after the answer (HTTP/1.0 too)
    int headerLines = 0;          // ... and hold so many header lines
    qint64 bodyBytes = 0;         // Whole: its body's, as a handler gets it
    int status = 0;               // Refused: 400, 413 or 431
    QString why;                  // Refused
};

// Where a chunked body has been read to.
struct ChunkWalk {
    qsizetype bodyAt = 0; // where the body begins in the request
    qsizetype at = 0;     // where the next chunk's size begins
    qint64 total = 0;     // the bytes of the chunks before it
};

// One request as it comes, in pieces: each piece costs about what it brings,
// as a client that sends a byte at a time would otherwise make the service
// read the whole request again for each. The head is read again only when
// a line of it ends, a body of known length is counted, and of chunks only
// their sizes and line ends are read, once.
class Framer {
public:
    explicit Framer(const Limits& limits) : m_limits(limits) {}

    // `bytes` came next; `begins`: they begin a request (empty lines before
    // it are skipped), and what came before is done with. Once whole or
    // refused, the verdict stays until a request begins.
    Verdict take(QByteArrayView bytes, bool begins);

private:
    Limits m_limits;
    QByteArray m_request; // as it came, but for a body of known length
    qsizetype m_size = 0; // all that came
    Verdict m_verdict;
    bool m_chunked = false;
    ChunkWalk m_chunks;
};

// The most bytes a request within the limits takes as it comes: its head and
// its body, whose chunks with their sizes may take twice the body's limit.
qint64 mostRequestBytes(const Limits& limits);

} // namespace RequestFraming
