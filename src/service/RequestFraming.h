#pragma once

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

// The first request in `bytes`, which begin where a request may begin (empty
// lines before it are skipped).
Verdict check(QByteArrayView bytes, const Limits& limits);

// The most bytes a request within the limits takes as it comes: its head and
// its body, whose chunks with their sizes may take twice the body's limit.
qint64 mostRequestBytes(const Limits& limits);

} // namespace RequestFraming
