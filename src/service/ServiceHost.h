#pragma once

#include "AccessToken.h"
#include "ClockService.h"
#include "ServiceOptions.h"
#include "protocol/SystemClockReader.h"
#include "protocol/WallClock.h"
#include "serial/SerialPortComponent.h"
#include "serial/SystemPortCatalog.h"
#include "session/ClockSession.h"
#include "session/PortKeeper.h"

#include <QThread>
#include <memory>
#include <optional>

class HttpApi;

// The clock service's parts, made in the order they need each other and
// ended in the reverse: the serial port and the clock session, the port kept
// open, the service, the correction or the chrony reference, and the HTTP
// server in a thread of its own.
class ServiceHost {
public:
    ServiceHost(const ServiceOptions& options, std::optional<AccessToken> token);
    ~ServiceHost();
    ServiceHost(const ServiceHost&) = delete;
    ServiceHost& operator=(const ServiceHost&) = delete;

    // Opens the port (or keeps trying) and listens; false, with `error`, when
    // it cannot listen.
    bool start(QString* error);
    // Ends what runs, the first thing to go first: the command on the line
    // (its client is answered), then the HTTP server. Safe to call twice.
    void shutdown();

private:
    ServiceOptions m_options;
    std::optional<AccessToken> m_token;
    SystemWallClock m_clock;
    SystemPortCatalog m_ports;
    SystemClockReader m_computerClock;
    SerialPortComponent m_port;
    ClockSession m_session;
    PortKeeper m_keeper;
    ClockService m_service;
    std::unique_ptr<QObject> m_direction; // the correction or the chrony reference
    QThread m_httpThread;
    QObject m_inHttpThread;
    HttpApi* m_api = nullptr; // made and deleted in the HTTP thread
};
