#include "AccessToken.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
// A token file holds one line; a longer one is no token file.
constexpr qint64 kMostTokenBytes = 4096;

QByteArray digestOf(const QByteArray& token) {
    return QCryptographicHash::hash(token, QCryptographicHash::Sha256);
}

// The file's bytes, when it is a token file by its kind, size and (POSIX)
// mode; why not in `error`. Never waits on a FIFO or a device.
std::optional<QByteArray> tokenFileBytes(const QString& path, QString* error) {
    QFile file;
#ifdef Q_OS_WIN
    // Windows keeps access in ACLs, which the service does not read.
    const QFileInfo info(path);
    const QString kind = info.isFile()  ? QString()
                         : info.isDir() ? QStringLiteral("a folder")
                                        : QStringLiteral("a device");
    const qint64 size = info.size();
    file.setFileName(path);
    const bool opened = kind.isEmpty() && file.open(QIODevice::ReadOnly);
#else
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat status = {};
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0) {
        *error = QStringLiteral("cannot read the token file %1: %2")
                     .arg(path, QString::fromLocal8Bit(strerror(errno)));
        if (descriptor >= 0)
            ::close(descriptor);
        return std::nullopt;
    }
    const QString kind = S_ISREG(status.st_mode)    ? QString()
                         : S_ISDIR(status.st_mode)  ? QStringLiteral("a folder")
                         : S_ISFIFO(status.st_mode) ? QStringLiteral("a FIFO")
                         : S_ISSOCK(status.st_mode) ? QStringLiteral("a socket")
                                                    : QStringLiteral("a device");
    const qint64 size = status.st_size;
    const bool opened = file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    if (kind.isEmpty() && (status.st_mode & 077) != 0) {
        *error =
            QStringLiteral("the token file %1 may be read or written by others than its owner (mode %2): "
                           "chmod 600 %1")
                .arg(path)
                .arg(status.st_mode & 0777, 4, 8, QLatin1Char('0'));
        return std::nullopt;
    }
#endif
    if (!kind.isEmpty()) {
        *error = QStringLiteral("the token file %1 is %2, not a regular file").arg(path, kind);
        return std::nullopt;
    }
    if (size > kMostTokenBytes) {
        *error = QStringLiteral("the token file %1 is larger than %2 bytes").arg(path).arg(kMostTokenBytes);
        return std::nullopt;
    }
    if (!opened) {
        *error = QStringLiteral("cannot read the token file %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return file.read(kMostTokenBytes);
}
} // namespace

std::optional<AccessToken> AccessToken::load(const QString& path, QString* error) {
    const std::optional<QByteArray> bytes = tokenFileBytes(path, error);
    if (!bytes)
        return std::nullopt;
    const QByteArray token = bytes->split('\n').first().trimmed();
    if (token.isEmpty()) {
        *error = QStringLiteral("the token file %1 holds no token").arg(path);
        return std::nullopt;
    }
    const auto unprintable =
        std::find_if(token.cbegin(), token.cend(), [](char c) { return c < '!' || c > '~'; });
    if (unprintable != token.cend()) {
        *error = QStringLiteral("the token file %1 holds a byte that is no printable ASCII character (0x%2)")
                     .arg(path)
                     .arg(uchar(*unprintable), 2, 16, QLatin1Char('0'));
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
