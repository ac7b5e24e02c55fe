#pragma once

#include "session/PortChoice.h"

#include <QObject>
#include <QTimer>

class ClockSession;

// Keeps the service's one port open: it opens it at the start and, whenever
// it is closed (an adapter unplugged, the far end of a pseudo-terminal gone)
// or cannot be opened, tries again every second until the device is back, as
// the window's port watch takes a device that comes while no port is open.
// Each new reason why it cannot is logged once.
class PortKeeper : public QObject {
    Q_OBJECT
public:
    PortKeeper(ClockSession& session, const PortChoice& choice, QObject* parent = nullptr);

    void start();

private:
    void tryOpen();

    ClockSession& m_session;
    PortChoice m_choice;
    QTimer m_retry;
    QString m_lastFailure;
};
