#include "AccessToken.h"

#include <QCryptographicHash>
#include <QFile>

namespace {
// A token file holds one line; a longer one is no token file.
constexpr qint64 kMostTokenBytes = 4096;

QByteArray digestOf(const QByteArray& token) {
    return QCryptographicHash::hash(token, QCryptographicHash::Sha256);
}
} // namespace

std::optional<AccessToken> AccessToken::load(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the token file %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
#ifndef Q_OS_WIN
    // Windows keeps access in ACLs, which Qt's permissions do not show.
    if (file.permissions() & QFileDevice::ReadOther) {
        *error = QStringLiteral("the token file %1 may be read by others: chmod o-r %1").arg(path);
        return std::nullopt;
    }
#endif
    const QByteArray token = file.read(kMostTokenBytes).split('\n').first().trimmed();
    if (token.isEmpty()) {
        *error = QStringLiteral("the token file %1 holds no token").arg(path);
        return std::nullopt;
    }
    return AccessToken(digestOf(token));
}

bool AccessToken::admitsAuthorization(const QByteArray& authorization) const {
    const QByteArray scheme = authorization.left(7);
    return scheme.compare("Bearer ", Qt::CaseInsensitive) == 0 && admits(authorization.mid(7).trimmed());
}

bool AccessToken::admits(const QByteArray& token) const {
    const QByteArray given = digestOf(token);
    unsigned char difference = 0;
    for (qsizetype i = 0; i < m_digest.size(); ++i)
        difference |= (unsigned char)(m_digest[i] ^ given[i]);
    return difference == 0;
}
