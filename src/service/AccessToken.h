#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The secret every request must carry when the service has one: the first
// line of a token file, compared in constant time.
class AccessToken {
public:
    // Reads the token from `path`. A file others may read (POSIX modes) or
    // without a token is refused, with `error` saying why.
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
