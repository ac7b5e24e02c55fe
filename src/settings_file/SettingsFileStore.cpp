#include "SettingsFileStore.h"

#include "SettingsFile.h"
#include "common/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
// Only the first nine lines of a file are ever used.
constexpr qint64 kMostBytesRead = 1 << 20;

// Why a file cannot be opened, as the program's error numbers say it.
RuntimeError openFailure(const QString& path, const QString& reason, bool forWriting) {
    const QFileInfo info(path);
    if (info.isDir())
        return {ErrorNumber::PathFileAccessError,
                QStringLiteral("Path/File access error: %1 is a folder").arg(path)};
    if (forWriting && !info.absoluteDir().exists())
        return {ErrorNumber::PathNotFound, QStringLiteral("Path not found: %1").arg(info.absolutePath())};
    if (!forWriting && !info.exists())
        return {ErrorNumber::FileNotFound, QStringLiteral("File not found: %1").arg(path)};
    return {ErrorNumber::PermissionDenied, QStringLiteral("Permission denied: %1 (%2)").arg(path, reason)};
}

bool writeAll(QIODevice& device, const QByteArray& bytes) {
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = device.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}
} // namespace

namespace SettingsFileStore {

QByteArray load(const QString& path) {
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        throw openFailure(path, file.errorString(), false);
    return file.read(kMostBytesRead);
}

std::optional<ClockSchedule> loadSchedule(const QString& path) {
    const SettingsFile::Loaded loaded = SettingsFile::read(load(path));
    switch (loaded.status) {
    case SettingsFile::Loaded::Status::BadHeader:
        return std::nullopt;
    case SettingsFile::Loaded::Status::EndsEarly:
        throw RuntimeError(
            ErrorNumber::InputPastEndOfFile,
            QStringLiteral("Input past end of file: %1 holds %2 of its 9 lines; nothing was loaded")
                .arg(path)
                .arg(loaded.linesFound));
    case SettingsFile::Loaded::Status::Ok:
        break;
    }
    return loaded.schedule;
}

void save(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // A folder the user may not write into still holds files he may write:
    // those are written in place, as any editor would.
    const bool inPlace = !QFileInfo(QFileInfo(path).absolutePath()).isWritable();
    file.setDirectWriteFallback(true);
    // Unbuffered, so that a write the system cuts short is seen here: a
    // buffered QSaveFile commits a shortened file as if all went well.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw openFailure(path, file.errorString(), true);
    if (!writeAll(file, bytes) || !file.commit())
        throw RuntimeError(ErrorNumber::DeviceIoError,
                           QStringLiteral("Device I/O error: %1 could not be written (%2); %3")
                               .arg(path, file.errorString(),
                                    inPlace ? QStringLiteral("it was written in place, as its folder "
                                                             "cannot be written, and may be cut short")
                                            : QStringLiteral("the earlier file is unchanged")));
}

} // namespace SettingsFileStore
