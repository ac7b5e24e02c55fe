#include "Machine.h"

#include <QFile>
#include <QThread>
#include <sys/utsname.h>
#include <unistd.h>

namespace Machine {

namespace {
QByteArray readProcFile(const char* path) {
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString cpuModel() {
    // x86 names the model "model name"; other architectures use other keys.
    for (const char* key : {"model name", "Hardware", "Processor", "cpu model"})
        for (const QByteArray& line : readProcFile("/proc/cpuinfo").split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed() == key)
                return QString::fromUtf8(line.mid(colon + 1).trimmed());
        }
    return QStringLiteral("unknown");
}

// Busy and total jiffies of all cores together.
bool cpuTimes(qint64* busy, qint64* total) {
    const QByteArray first = readProcFile("/proc/stat").split('\n').value(0);
    const QList<QByteArray> fields = first.simplified().split(' ');
    if (fields.size() < 5 || fields.first() != "cpu")
        return false;
    *total = 0;
    for (qsizetype i = 1; i < fields.size(); ++i)
        *total += fields.at(i).toLongLong();
    // idle and iowait are the 4th and 5th numbers.
    const qint64 idle = fields.at(4).toLongLong() + fields.value(5).toLongLong();
    *busy = *total - idle;
    return true;
}
} // namespace

Description describe() {
    Description machine;
    machine.cpuModel = cpuModel();
    machine.cores = int(sysconf(_SC_NPROCESSORS_ONLN));
    utsname names{};
    if (uname(&names) == 0)
        machine.kernel =
            QStringLiteral("%1 %2 %3")
                .arg(QString::fromLocal8Bit(names.sysname), QString::fromLocal8Bit(names.release),
                     QString::fromLocal8Bit(names.machine));
    machine.qtVersion = QString::fromLatin1(qVersion());
    return machine;
}

QJsonObject toJson(const Description& machine) {
    return {{QStringLiteral("cpu_model"), machine.cpuModel},
            {QStringLiteral("cores"), machine.cores},
            {QStringLiteral("kernel"), machine.kernel},
            {QStringLiteral("qt_version"), machine.qtVersion}};
}

QString loadAverages() {
    const QList<QByteArray> fields = readProcFile("/proc/loadavg").split(' ');
    if (fields.size() < 3)
        return QStringLiteral("unknown");
    return QString::fromLatin1(fields.at(0) + ' ' + fields.at(1) + ' ' + fields.at(2));
}

double busyPercent(int sampleMs) {
    qint64 busyBefore = 0, totalBefore = 0, busyAfter = 0, totalAfter = 0;
    if (!cpuTimes(&busyBefore, &totalBefore))
        return -1;
    QThread::msleep(sampleMs);
    if (!cpuTimes(&busyAfter, &totalAfter) || totalAfter == totalBefore)
        return -1;
    return 100.0 * double(busyAfter - busyBefore) / double(totalAfter - totalBefore);
}

} // namespace Machine
