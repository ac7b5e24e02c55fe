#pragma once

#include <QProcess>
#include <QString>
#include <QTcpSocket>

// The command line and the clock service as a script or a control-room panel
// reaches them: programs of this build tree, started as their users start
// them. Each set-time is sent, then its answer taken only after the frame was
// seen, so that the bench does not wake right at the boundary.

// `varo-clock-cli --port DEVICE set-time`, a fresh process each time.
class CliChild {
public:
    CliChild();
    void startSetTime(const QString& device);
    // Waits for its end; why it failed, or nothing.
    QString finish();

private:
    QProcess m_process;
};

// varo-clock-service on a device, listening on a free port of 127.0.0.1.
class ServiceChild {
public:
    ServiceChild();
    ~ServiceChild();

    // Why it does not listen, or nothing.
    QString start(const QString& device);
    quint16 port() const { return m_port; }
    qint64 processId() const { return m_process.processId(); }
    // Sends POST /set-time without a body; why it could not, or nothing.
    QString postSetTime();
    // Waits for the answer; why it is not 200, or nothing.
    QString answer();

private:
    QProcess m_process;
    QByteArray m_said;
    quint16 m_port = 0;
    QTcpSocket m_request;
};
