#pragma once

#include <QObject>
#include <QString>

// The asks to stop that a service gets, as a signal in the event loop's
// thread: SIGTERM (systemctl stop), SIGINT (Ctrl+C) and SIGHUP on Linux, and
// on Windows the console's Ctrl+C, Ctrl+Break and close. One at a time in a
// program.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

signals:
    // `name`: "SIGTERM", "Ctrl+C", ...
    void received(const QString& name);
};
