#pragma once

#include <QByteArray>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>

class SimProcess;

// varo-clock-service as a child process of a test, listening on 127.0.0.1.
class ServiceProcess {
public:
    // A test that dies must not leave a service behind, holding the pseudo-terminal the next one gets.
    ServiceProcess();
    ~ServiceProcess();
    // On `listenPort`, or any free one.
    bool start(const QStringList& arguments, quint16 listenPort = 0);
    // The exit status of a run that ends by itself; -1 when a signal ended it.
    int exitStatus();
    // What it said on standard error so far.
    QString err();
    QUrl url(const QString& path, const QString& scheme = QStringLiteral("http")) const;
    qint64 pid() const { return m_process.processId(); }

    quint16 port = 0;

private:
    QProcess m_process;
    QByteArray m_err;
};

// The token the tests' services require.
inline const QByteArray kToken = "s3cret-token";

// A file `name` in `dir` that only its owner may read; its path, empty when it could not be written.
QString fileIn(const QTemporaryDir& dir, const QString& name, const QByteArray& text);
inline QString tokenFileIn(const QTemporaryDir& dir, const QByteArray& text = kToken) {
    return fileIn(dir, QStringLiteral("token"), text);
}

// The first match of `pattern` in what `service` said so far, waited for.
QRegularExpressionMatch waitForSaid(ServiceProcess& service, const QRegularExpression& pattern,
                                    int timeoutMs);

// Whether nothing reached the master clock since its log line `mark`:
// `readClock2`, a settings read of clock 2 sent now through the service,
// must succeed and be the first frame the clock receives.
bool nothingReachedClockSince(SimProcess& sim, int mark, const std::function<bool()>& readClock2);
