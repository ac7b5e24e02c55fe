#pragma once

#include "PortChoice.h"
#include "common/RuntimeError.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <optional>

class ClockSession;
class PortCatalog;
class PortWatch;

// Keeps a clock session's port as its front-end wants it, the one place that
// decides which port opens and when it opens again:
// - Once (the command line): the port named, or with none named the one port
//   there is, never a guess between several; a failure is the caller's.
// - Keep (the service): its one port, opened at the start and, whenever it is
//   closed (an adapter unplugged, a server gone) or cannot be opened, tried
//   every second until it is back.
// - Follow (the window): the port the operator chose; one that is lost is
//   remembered and opened again when its device or server is back, looked for
//   every second with the devices plugged in and out (PortWatch).
// Never while a command holds the line.
class PortKeeper : public QObject {
    Q_OBJECT
public:
    enum class Mode { Once, Keep, Follow };

    // What the one-port rule finds where no port was named.
    struct OnePort {
        std::optional<PortChoice> port; // the one there is; none when there is none, or several
        QList<PortChoice> several;      // the ports there are, when more than one
    };

    PortKeeper(ClockSession& session, Mode mode, PortCatalog* ports = nullptr, QObject* parent = nullptr);

    // The numbered ports whose devices are there (usable, or held by another
    // program): the one of them, or the several. Leaves the port closed.
    OnePort onePort();
    // Opens `choice` instead of the open port. Once and Follow: a failure
    // raises its RuntimeError. Keep: a failure is told once for each new
    // reason (cannotOpen) and tried again every second.
    void open(const PortChoice& choice);
    // Follow: the list's own opening (a scan, a click) chose `choice`; it is
    // remembered like one opened through open().
    void chosen(const PortChoice& choice);
    // The port opened last by the keeper, and what it is: "Com16
    // (/dev/pts/3)", or the device named.
    QString description() const;

    // Follow: the plug and unplug watch, which asks the keeper first to open
    // a lost port again.
    void setWatch(PortWatch* watch);
    // Follow: opens the remembered port again when it was lost and is back.
    // Whether it opened.
    bool reopen();

signals:
    // The port opened, by open() or again after a loss; `description` as above.
    void opened(const QString& description);
    // Keep: why the port cannot be opened, once for each new reason.
    void cannotOpen(const RuntimeError& error);
    // The open port's device failed; the port is closed.
    void lost(const RuntimeError& error);

private:
    void tryOpen();
    void openNow(const PortChoice& choice);

    ClockSession& m_session;
    Mode m_mode;
    PortCatalog* m_ports;
    std::optional<PortChoice> m_choice; // the port opened, or to open, last
    bool m_lostUnreopened = false;      // Follow: m_choice was lost and is not open again
    QTimer m_retry;
    QString m_lastFailure;
};
