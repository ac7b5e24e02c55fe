#pragma once

#include <QNetworkAccessManager>
#include <QProcess>
#include <QString>

// The command line and the clock service as a script or a control-room panel
// reaches them: programs of this build tree, started as their users start them.
namespace ProgramDoors {

// One run of a fresh `varo-clock-cli --port DEVICE set-time`; why it failed,
// or nothing.
QString runCliSetTime(const QString& device);

} // namespace ProgramDoors

// varo-clock-service on a device, listening on a free port of 127.0.0.1.
class ServiceChild {
public:
    ServiceChild();
    ~ServiceChild();

    // Why it does not listen, or nothing.
    QString start(const QString& device);
    // POST /set-time without a body, and its answer awaited; why it failed, or nothing.
    QString postSetTime();

private:
    QProcess m_process;
    QByteArray m_said;
    quint16 m_port = 0;
    QNetworkAccessManager m_network;
};
