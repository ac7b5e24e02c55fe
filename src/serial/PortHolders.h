#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Who else holds a serial device. QSerialPort refuses a device only when its
// holder asked for exclusive use or left its own lock file, so a terminal
// program or ModemManager can have it open unnoticed. On Linux a device is
// busy when another process has it open (as fuser finds it, in /proc/*/fd) or
// when a UUCP lock file LCK..<name> names a process that still runs. The
// process that provides a pseudo-terminal (it holds the master side) is the
// device's far end, not a competitor; this process never counts. As with
// fuser, a normal user sees only his own processes' descriptors.
namespace PortHolders {

struct Holder {
    qint64 pid = 0;
    QString name; // the process's command name

    // "minicom (pid 4242)", with a word on the usual system services.
    QString describe() const;
};

// The folders where serial lock files are kept.
QStringList lockFolders();

// Another process holding `device`, or nothing when it is free (always
// nothing on other systems than Linux).
std::optional<Holder> find(const QString& device,
                           const QStringList& lockFolders = PortHolders::lockFolders());

} // namespace PortHolders
