#pragma once

#include "SimProcess.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <csignal>
#include <functional>
#include <sys/prctl.h>

// varo-clock-service as a child process of a test, listening on 127.0.0.1.
class ServiceProcess {
public:
    // A test that dies must not leave a service behind, holding the pseudo-terminal the next one gets.
    ServiceProcess() {
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }
    ~ServiceProcess() {
        m_process.kill();
        m_process.waitForFinished();
    }
    // On `listenPort`, or any free one.
    bool start(const QStringList& arguments, quint16 listenPort = 0) {
        m_process.start(QStringLiteral(VARO_CLOCK_SERVICE_PATH),
                        arguments + QStringList{QStringLiteral("--listen"),
                                                QStringLiteral("127.0.0.1:%1").arg(listenPort)});
        const QRegularExpression listening(QStringLiteral("listening on http://127.0.0.1:(\\d+)/"));
        QRegularExpressionMatch match;
        const auto listens = [&] {
            m_err += m_process.readAllStandardError();
            match = listening.match(QString::fromLocal8Bit(m_err));
            return match.hasMatch();
        };
        if (!QTest::qWaitFor([&] { return listens() || m_process.state() == QProcess::NotRunning; }))
            return false;
        port = quint16(match.captured(1).toUInt());
        return port != 0;
    }
    // The exit status of a run that ends by itself; -1 when a signal ended it.
    int exitStatus() {
        m_process.waitForFinished();
        m_err += m_process.readAllStandardError();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    // What it said on standard error so far.
    QString err() {
        m_err += m_process.readAllStandardError();
        return QString::fromLocal8Bit(m_err);
    }
    QUrl url(const QString& path, const QString& scheme = QStringLiteral("http")) const {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(port).arg(path));
    }
    qint64 pid() const { return m_process.processId(); }

    quint16 port = 0;

private:
    QProcess m_process;
    QByteArray m_err;
};

// The token the tests' services require.
inline const QByteArray kToken = "s3cret-token";

// A file `name` in `dir` that only its owner may read; its path, empty when it could not be written.
inline QString fileIn(const QTemporaryDir& dir, const QString& name, const QByteArray& text) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return file.fileName();
}

inline QString tokenFileIn(const QTemporaryDir& dir, const QByteArray& text = kToken) {
    return fileIn(dir, QStringLiteral("token"), text);
}

// The first match of `pattern` in what `service` said so far, waited for.
inline QRegularExpressionMatch waitForSaid(ServiceProcess& service, const QRegularExpression& pattern,
                                           int timeoutMs) {
    QRegularExpressionMatch match;
    const bool said =
        QTest::qWaitFor([&] { return (match = pattern.match(service.err())).hasMatch(); }, timeoutMs);
    return said ? match : QRegularExpressionMatch();
}

// Whether nothing reached the master clock since its log line `mark`:
// `readClock2`, a settings read of clock 2 sent now through the service,
// succeeds and is the first frame the clock receives.
inline bool nothingReachedClockSince(SimProcess& sim, int mark, const std::function<bool()>& readClock2) {
    if (!readClock2())
        return false;
    const int first = sim.waitForLineWhere(
        [](const QString& line) {
            return line.contains(QRegularExpression(QStringLiteral(" RX [0-9A-F]+ ")));
        },
        3000, mark);
    return first >= 0 && sim.lines().at(first).contains(QLatin1String(" RX BBA2 "));
}
