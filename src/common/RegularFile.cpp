#include "RegularFile.h"

#include "RuntimeError.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

RuntimeError notRegular(const QString& path, const QString& what) {
    const QFileInfo info(path);
    const QString named = info.isSymLink()
                              ? QStringLiteral("%1 (a symbolic link to %2)").arg(path, info.symLinkTarget())
                              : path;
    if (what == QLatin1String("a folder"))
        return {ErrorNumber::PathFileAccessError,
                QStringLiteral("Path/File access error: %1 is a folder").arg(named)};
    return {ErrorNumber::PathFileAccessError,
            QStringLiteral("Path/File access error: %1 is %2, not a regular file; nothing was written")
                .arg(named, what)};
}

RuntimeError missingFolder(const QString& path) {
    return {ErrorNumber::PathNotFound,
            QStringLiteral("Path not found: %1").arg(QFileInfo(path).absolutePath())};
}

RuntimeError denied(const QString& path, const QString& reason) {
    return {ErrorNumber::PermissionDenied, QStringLiteral("Permission denied: %1 (%2)").arg(path, reason)};
}

RuntimeError cutShort(const QString& path, const QString& reason, bool inPlace) {
    return {ErrorNumber::DeviceIoError,
            QStringLiteral("Device I/O error: %1 could not be written (%2); %3")
                .arg(path, reason,
                     inPlace ? QStringLiteral("it was written in place and may be cut short")
                             : QStringLiteral("the earlier file is unchanged"))};
}

// Replaces the file as a whole; false when its folder takes no new file.
void replace(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Unbuffered, so that a write the system cuts short is seen here: a
    // buffered QSaveFile commits a shortened file as if all went well.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw denied(path, file.errorString());
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0)
            throw cutShort(path, file.errorString(), false);
        written += n;
    }
    if (!file.commit())
        throw cutShort(path, file.errorString(), false);
}

#ifdef Q_OS_UNIX
QString systemReason() {
    return qt_error_string(errno);
}

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO (named pipe)");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("no regular file");
}

// Writes into the file itself, which keeps what it is: its owner, its
// permissions, its links. `create` for the missing target of a link.
void writeInPlace(const QString& path, const QByteArray& bytes, bool create) {
    // Never waits for a reader, should the path have turned into a FIFO.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0)
        throw errno == EACCES || errno == EPERM || errno == EROFS ? denied(path, systemReason())
                                                                  : cutShort(path, systemReason(), true);
    struct stat opened {};
    const auto fail = [fd, &path](const RuntimeError& error) {
        ::close(fd);
        throw error;
    };
    if (::fstat(fd, &opened) != 0)
        fail(cutShort(path, systemReason(), true));
    if (!S_ISREG(opened.st_mode))
        fail(notRegular(path, kindOf(opened.st_mode)));
    if (::ftruncate(fd, 0) != 0)
        fail(cutShort(path, systemReason(), true));
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(cutShort(path, n < 0 ? systemReason() : QStringLiteral("nothing more was taken"), true));
        written += n;
    }
    if (::close(fd) != 0)
        throw cutShort(path, systemReason(), true);
}
#endif

} // namespace

namespace RegularFile {

void write(const QString& path, const QByteArray& bytes) {
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    struct stat link {};
    struct stat target {};
    const bool isLink = ::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode);
    if (::stat(name.constData(), &target) != 0) {
        if (errno == EACCES)
            throw denied(path, systemReason());
        if (errno == ENOTDIR)
            throw missingFolder(path);
        if (errno != ENOENT)
            throw RuntimeError(ErrorNumber::PathFileAccessError,
                               QStringLiteral("Path/File access error: %1 (%2)").arg(path, systemReason()));
        // A link whose target is missing: the target is made where the link points.
        if (isLink)
            return writeInPlace(path, bytes, true);
        if (!QFileInfo(path).absoluteDir().exists())
            throw missingFolder(path);
        return replace(path, bytes);
    }
    if (!S_ISREG(target.st_mode))
        throw notRegular(path, kindOf(target.st_mode));
    const bool replaceable =
        !isLink && target.st_nlink == 1 && target.st_uid == ::geteuid() && target.st_gid == ::getegid() &&
        ::access(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), W_OK) == 0;
    if (!replaceable)
        return writeInPlace(path, bytes, false);
    replace(path, bytes);
#else
    const QFileInfo info(path);
    if (info.isDir())
        throw notRegular(path, QStringLiteral("a folder"));
    if (!info.absoluteDir().exists())
        throw missingFolder(path);
    replace(path, bytes);
#endif
}

} // namespace RegularFile
