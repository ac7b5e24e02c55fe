#include "RequestFraming.h"

#include <QByteArray>
#include <QList>
#include <algorithm>

namespace RequestFraming {

namespace {
constexpr QByteArrayView kLineEnd("\r\n");
// More digits than a body within any limit needs, and few enough never to overflow.
constexpr qsizetype kMostLengthDigits = 16;
constexpr qsizetype kMostChunkSizeDigits = 8;
// How much more than its body a chunked body may take with its chunks' sizes.
constexpr qint64 kChunkedBodyFactor = 2;

bool isTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

template <typename Test> bool isRun(QByteArrayView text, Test test) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), test);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A field's value: visible characters, spaces, tabs and bytes beyond ASCII.
bool isFieldValue(QByteArrayView text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const uchar byte = uchar(c);
        return byte >= 0x20 ? byte != 0x7f : byte == '\t';
    });
}

bool isRequestLine(QByteArrayView line, bool* http10) {
    const qsizetype first = line.indexOf(' ');
    const qsizetype second = first < 0 ? -1 : line.indexOf(' ', first + 1);
    if (second < 0 || line.indexOf(' ', second + 1) >= 0)
        return false;
    const QByteArrayView target = line.sliced(first + 1, second - first - 1);
    const QByteArrayView version = line.sliced(second + 1);
    *http10 = version == "HTTP/1.0";
    return isRun(line.first(first), isTokenChar) && target.startsWith('/') &&
           isRun(target, [](char c) { return c > ' ' && c < 0x7f; }) && (*http10 || version == "HTTP/1.1");
}

Verdict refused(int status, const QString& why) {
    Verdict verdict;
    verdict.kind = Verdict::Kind::Refused;
    verdict.status = status;
    verdict.why = why;
    return verdict;
}

Verdict tooLarge(const Limits& limits) {
    return refused(413, QStringLiteral("The request is larger than %1 KiB").arg(limits.mostBodyBytes / 1024));
}

QString quoted(QByteArrayView text) {
    return QLatin1Char('"') + QString::fromLatin1(text.first(qMin(text.size(), qsizetype(40)))) +
           QLatin1Char('"');
}

// The chunked body into `verdict`, from where `walk` stopped: each call reads
// the chunks' sizes and the line ends after them, never their data.
Verdict walkChunks(QByteArrayView request, ChunkWalk& walk, const Limits& limits, Verdict verdict) {
    const qint64 mostEnd = walk.bodyAt + kChunkedBodyFactor * limits.mostBodyBytes;
    for (;;) {
        const qsizetype end = request.indexOf(kLineEnd, walk.at);
        QByteArrayView size = request.sliced(walk.at, (end < 0 ? request.size() : end) - walk.at);
        if (end < 0 && size.endsWith('\r'))
            size.chop(1);
        if (size.size() > kMostChunkSizeDigits || !std::all_of(size.begin(), size.end(), isHexDigit) ||
            (end >= 0 && size.isEmpty()))
            return refused(400, QStringLiteral("A chunk's size is no hexadecimal number: ") + quoted(size));
        if (end < 0)
            return verdict;
        const qint64 bytes = size.toLongLong(nullptr, 16);
        if (walk.total + bytes > limits.mostBodyBytes)
            return tooLarge(limits);
        const qsizetype dataEnd = end + kLineEnd.size() + bytes;
        if (dataEnd + kLineEnd.size() > mostEnd)
            return refused(413, QStringLiteral("The request's chunks take more than %1 KiB")
                                    .arg(kChunkedBodyFactor * limits.mostBodyBytes / 1024));
        if (request.size() < dataEnd + kLineEnd.size())
            return verdict;
        if (request.sliced(dataEnd, kLineEnd.size()) != kLineEnd)
            return refused(400, bytes == 0
                                    ? QStringLiteral("A chunked body ends with an empty line, no trailer")
                                    : QStringLiteral("A chunk does not end where its size says"));
        walk.at = dataEnd + kLineEnd.size();
        walk.total += bytes;
        if (bytes == 0) {
            verdict.kind = Verdict::Kind::Whole;
            verdict.bodyBytes = walk.total;
            return verdict;
        }
    }
}

// The head of the request in `bytes`, which begin where a request may begin
// (empty lines before it are skipped): refused, partial, or whole with where
// the body begins and how it is framed.
Verdict readHead(QByteArrayView bytes, const Limits& limits, qsizetype* bodyAt, bool* chunked) {
    qsizetype start = 0;
    while (bytes.sliced(start).startsWith(kLineEnd))
        start += kLineEnd.size();
    const QByteArrayView request = bytes.sliced(start);

    Verdict verdict;
    qsizetype at = 0;
    bool http10 = false;
    bool keepAlive = false;
    int hosts = 0;
    QList<QByteArrayView> lengths;
    QList<QByteArrayView> codings;
    for (qsizetype end; !verdict.headWhole && (end = request.indexOf(kLineEnd, at)) >= 0;) {
        const QByteArrayView line = request.sliced(at, end - at);
        const bool first = at == 0;
        at = end + kLineEnd.size();
        if (line.contains('\r') || line.contains('\n'))
            return refused(400, QStringLiteral("A line of the request's head ends without CR LF"));
        if (first) {
            if (!isRequestLine(line, &http10))
                return refused(400, QStringLiteral("The request line is not \"METHOD /path HTTP/1.1\": ") +
                                        quoted(line));
            continue;
        }
        if (line.isEmpty()) {
            verdict.headWhole = true;
            break;
        }
        if (++verdict.headerLines > limits.mostHeaderLines)
            return refused(
                431, QStringLiteral("The request has more than %1 header lines").arg(limits.mostHeaderLines));
        const qsizetype colon = line.indexOf(':');
        const QByteArrayView name = line.first(qMax(colon, qsizetype(0)));
        const QByteArrayView value = line.sliced(colon + 1).trimmed();
        if (colon <= 0 || !isRun(name, isTokenChar) || !isFieldValue(line.sliced(colon + 1)))
            return refused(400, QStringLiteral("A header line is not \"Name: value\": ") + quoted(line));
        const QByteArray lowerName = name.toByteArray().toLower();
        const QByteArray lowerValue = value.toByteArray().toLower();
        if (lowerName == "content-length")
            lengths << value;
        else if (lowerName == "transfer-encoding")
            codings << value;
        else if (lowerName == "host")
            ++hosts;
        else if (lowerName == "expect")
            verdict.expectsContinue = lowerValue == "100-continue";
        else if (lowerName == "connection") {
            for (const QByteArray& option : lowerValue.split(',')) {
                verdict.closes = verdict.closes || option.trimmed() == "close";
                keepAlive = keepAlive || option.trimmed() == "keep-alive";
            }
        }
    }
    // Empty lines before the request count too: they are kept until it comes.
    if ((verdict.headWhole ? start + at : bytes.size()) > limits.mostHeadBytes)
        return refused(
            431, QStringLiteral("The request's head is larger than %1 KiB").arg(limits.mostHeadBytes / 1024));
    if (!verdict.headWhole) {
        if (request.sliced(at).contains('\n'))
            return refused(400, QStringLiteral("A line of the request's head ends without CR LF"));
        return verdict;
    }

    *bodyAt = start + at;
    verdict.closes = verdict.closes || (http10 && !keepAlive);
    if (hosts > 1 || (hosts == 0 && !http10))
        return refused(400, QStringLiteral("An HTTP/1.1 request names its host in one Host header"));
    if (lengths.size() > 1)
        return refused(400, QStringLiteral("The request has two Content-Length headers"));
    if (!lengths.isEmpty() && !codings.isEmpty())
        return refused(400, QStringLiteral("The request has a Content-Length and a Transfer-Encoding"));
    if (codings.size() > 1 ||
        (!codings.isEmpty() && codings.first().compare("chunked", Qt::CaseInsensitive) != 0))
        return refused(400, QStringLiteral("Transfer-Encoding takes chunked alone"));
    *chunked = !codings.isEmpty();
    if (!lengths.isEmpty()) {
        const QByteArrayView length = lengths.first();
        if (length.size() > kMostLengthDigits || !isRun(length, isDigit))
            return refused(400,
                           QStringLiteral("Content-Length is not one number of bytes: ") + quoted(length));
        verdict.bodyBytes = length.toLongLong();
        if (verdict.bodyBytes > limits.mostBodyBytes)
            return tooLarge(limits);
    }
    return verdict;
}
} // namespace

Verdict Framer::take(QByteArrayView bytes, bool begins) {
    if (begins)
        *this = Framer(m_limits);
    if (m_verdict.kind != Verdict::Kind::Partial)
        return m_verdict;
    m_size += bytes.size();
    // A body of known length is only counted.
    if (!m_verdict.headWhole || m_chunked)
        m_request += bytes;
    if (!m_verdict.headWhole) {
        // Nothing changes before a line of the head ends.
        if (!bytes.contains('\n') && m_request.size() <= m_limits.mostHeadBytes)
            return m_verdict;
        m_verdict = readHead(m_request, m_limits, &m_chunks.bodyAt, &m_chunked);
        m_chunks.at = m_chunks.bodyAt;
        if (!m_verdict.headWhole)
            return m_verdict;
    }
    if (m_chunked)
        return m_verdict = walkChunks(m_request, m_chunks, m_limits, m_verdict);
    if (m_size - m_chunks.bodyAt >= m_verdict.bodyBytes)
        m_verdict.kind = Verdict::Kind::Whole;
    return m_verdict;
}

qint64 mostRequestBytes(const Limits& limits) {
    return limits.mostHeadBytes + kChunkedBodyFactor * limits.mostBodyBytes;
}

} // namespace RequestFraming
