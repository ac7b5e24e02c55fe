#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The secret every request must carry when the service has one: the first
// line of a token file, printable ASCII, compared in constant time.
class AccessToken {
public:
    // Reads the token from `path`. Refused, with `error` saying why: a FIFO,
    // a device or a folder (at once, never waiting on it), a file larger than
    // 4 KiB, one others may read or write (POSIX modes: 0600 or 0400), one
    // without a token or with bytes beyond printable ASCII in it.
    static std::optional<AccessToken> load(const QString& path, QString* error);

    // Whether an Authorization header's value, "Bearer <token>", carries it.
    bool admitsAuthorization(const QByteArray& authorization) const;
    // Whether `token` is it.
    bool admits(const QByteArray& token) const;

private:
    explicit AccessToken(QByteArray digest) : m_digest(std::move(digest)) {}
    // Compared as SHA-256 digests: the time taken tells nothing of the token.
    QByteArray m_digest;
};
