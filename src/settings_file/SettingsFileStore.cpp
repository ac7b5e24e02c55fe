#include "SettingsFileStore.h"

#include "SettingsFile.h"
#include "common/RegularFile.h"
#include "common/RuntimeError.h"

#include <QFile>
#include <QFileInfo>

namespace {
// Only the first nine lines of a file are ever used.
constexpr qint64 kMostBytesRead = 1 << 20;
} // namespace

namespace SettingsFileStore {

QByteArray load(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir())
        throw RuntimeError(ErrorNumber::PathFileAccessError,
                           QStringLiteral("Path/File access error: %1 is a folder").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!info.exists())
            throw RuntimeError(ErrorNumber::FileNotFound, QStringLiteral("File not found: %1").arg(path));
        throw RuntimeError(ErrorNumber::PermissionDenied,
                           QStringLiteral("Permission denied: %1 (%2)").arg(path, file.errorString()));
    }
    return file.read(kMostBytesRead);
}

std::optional<ClockSchedule> loadSchedule(const QString& path) {
    return scheduleOf(load(path), path);
}

std::optional<ClockSchedule> scheduleOf(const QByteArray& bytes, const QString& path) {
    const SettingsFile::Loaded loaded = SettingsFile::read(bytes);
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
    RegularFile::write(path, bytes);
}

} // namespace SettingsFileStore
