#include "NetworkNamespace.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

namespace {
// What `ip arguments` said when it failed; empty when it succeeded.
QString ip(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("ip"), arguments);
    if (!process.waitForFinished())
        return QStringLiteral("ip %1: %2").arg(arguments.join(QLatin1Char(' ')), process.errorString());
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return QString();
    return QStringLiteral("ip %1: %2")
        .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(process.readAll()).trimmed());
}
} // namespace

NetworkNamespace::NetworkNamespace() {
    const qint64 pid = QCoreApplication::applicationPid();
    m_name = QStringLiteral("varo-test-%1").arg(pid);
    m_prefix = QStringLiteral("10.%1.%2.").arg((pid >> 8) & 0xFF).arg(pid & 0xFC);
    m_near = QStringLiteral("varo%1a").arg(pid);
    m_far = QStringLiteral("varo%1b").arg(pid);
}

NetworkNamespace::~NetworkNamespace() {
    // The pair goes with the namespace.
    ip({QStringLiteral("netns"), QStringLiteral("delete"), m_name});
}

QString NetworkNamespace::create() {
    const QString farNet = farAddress() + QStringLiteral("/30");
    const QList<QStringList> steps = {
        {"netns", "add", m_name},
        {"link", "add", m_near, "type", "veth", "peer", "name", m_far, "netns", m_name},
        {"address", "add", m_prefix + QLatin1Char('1') + QStringLiteral("/30"), "dev", m_near},
        {"link", "set", m_near, "up"},
        {"-n", m_name, "link", "set", "lo", "up"},
        {"-n", m_name, "address", "add", farNet, "dev", m_far},
        {"-n", m_name, "link", "set", m_far, "up"},
    };
    for (const QStringList& step : steps)
        if (const QString failure = ip(step); !failure.isEmpty())
            return failure;
    return QString();
}

bool NetworkNamespace::setFarAddressPresent(bool present) {
    return ip({QStringLiteral("-n"), m_name, QStringLiteral("address"),
               present ? QStringLiteral("add") : QStringLiteral("delete"),
               farAddress() + QStringLiteral("/30"), QStringLiteral("dev"), m_far})
        .isEmpty();
}
