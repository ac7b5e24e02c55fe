#include "PortHolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace PortHolders {

QString Holder::describe() const {
    QString text = QStringLiteral("%1 (pid %2)").arg(name).arg(pid);
    if (name == QLatin1String("ModemManager"))
        text += QStringLiteral(", which probes serial devices for modems (sudo systemctl stop ModemManager)");
    else if (name == QLatin1String("brltty"))
        text += QStringLiteral(", the braille display driver, which takes USB serial adapters "
                               "(sudo systemctl stop brltty)");
    return text;
}

QStringList lockFolders() {
    return {QStringLiteral("/var/lock"), QStringLiteral("/run/lock")};
}

#ifdef Q_OS_LINUX
namespace {
QString commandName(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
}

// The pseudo-terminal number of a slave device (/dev/pts/N), or -1.
int ptyIndex(dev_t device) {
    constexpr unsigned kFirstPtySlaveMajor = 136;
    constexpr unsigned kLastPtySlaveMajor = 143;
    const unsigned devMajor = major(device);
    if (devMajor < kFirstPtySlaveMajor || devMajor > kLastPtySlaveMajor)
        return -1;
    return int((devMajor - kFirstPtySlaveMajor) * 256 + minor(device));
}

// Whether the process's descriptor `fd` is the master of pseudo-terminal `index`.
bool isPtyMaster(const QString& processFolder, const QString& fd, int index) {
    const QString target = QFile::symLinkTarget(processFolder + QStringLiteral("/fd/") + fd);
    if (!target.endsWith(QLatin1String("ptmx")))
        return false;
    QFile info(processFolder + QStringLiteral("/fdinfo/") + fd);
    if (!info.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : info.readAll().split('\n'))
        if (line.startsWith("tty-index:"))
            return line.mid(10).trimmed().toInt() == index;
    return false;
}

std::optional<Holder> openedBy(const QString& device) {
    struct stat wanted {};
    if (::stat(QFile::encodeName(device).constData(), &wanted) != 0 || !S_ISCHR(wanted.st_mode))
        return std::nullopt;
    const int index = ptyIndex(wanted.st_rdev);
    const qint64 self = ::getpid();
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pidText : pids) {
        bool numeric = false;
        const qint64 pid = pidText.toLongLong(&numeric);
        if (!numeric || pid == self)
            continue;
        const QString folder = QStringLiteral("/proc/") + pidText;
        // Other users' descriptors stay hidden from a normal user, as from fuser.
        const QStringList fds =
            QDir(folder + QStringLiteral("/fd"))
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
        bool holds = false;
        bool provides = false;
        for (const QString& fd : fds) {
            struct stat opened {};
            const QByteArray path = QFile::encodeName(folder + QStringLiteral("/fd/") + fd);
            if (::stat(path.constData(), &opened) == 0 && S_ISCHR(opened.st_mode) &&
                opened.st_rdev == wanted.st_rdev)
                holds = true;
            else if (index >= 0 && isPtyMaster(folder, fd, index))
                provides = true;
        }
        if (holds && !provides)
            return Holder{pid, commandName(pid)};
    }
    return std::nullopt;
}

bool isRunning(qint64 pid) {
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// A lock file's process: its first line holds the pid in decimal (HDB UUCP
// locks pad it with blanks, QLockFile adds more lines).
std::optional<Holder> lockedBy(const QString& device, const QStringList& folders) {
    const QString lockName = QStringLiteral("LCK..") + QFileInfo(device).fileName();
    for (const QString& folder : folders) {
        QFile lock(QDir(folder).filePath(lockName));
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        bool numeric = false;
        const qint64 pid = lock.readLine(64).trimmed().toLongLong(&numeric);
        if (numeric && pid > 0 && pid != ::getpid() && isRunning(pid))
            return Holder{pid, commandName(pid)};
    }
    return std::nullopt;
}
} // namespace

std::optional<Holder> find(const QString& device, const QStringList& folders) {
    if (std::optional<Holder> holder = openedBy(device))
        return holder;
    return lockedBy(device, folders);
}
#else
std::optional<Holder> find(const QString&, const QStringList&) {
    return std::nullopt;
}
#endif

} // namespace PortHolders
