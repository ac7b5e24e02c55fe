#pragma once

#include <QByteArray>
#include <QString>

// Saving a whole file so that nothing else is lost: only regular files are
// written. A folder, a device, a FIFO or a socket is refused without a byte
// written. A file reached through a symbolic link, one with other hard links,
// one owned by another user or group, or one in a folder that cannot be
// written is written in place, so that it keeps its owner, permissions and
// links; any other is replaced as a whole (the bytes go beside it and are
// renamed over it), so that a save failing part-way leaves it as it was.
//
// Failures are RuntimeErrors with the program's error numbers: 75 what the
// path names is no regular file, 76 the folder does not exist, 70 permission
// denied, 57 a write that could not be completed.
namespace RegularFile {

void write(const QString& path, const QByteArray& bytes);

} // namespace RegularFile
