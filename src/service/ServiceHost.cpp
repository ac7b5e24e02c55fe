#include "ServiceHost.h"

#include "ClockCorrector.h"
#include "HttpApi.h"
#include "ServiceLog.h"
#include "VaroVersion.h"
#include "protocol/CommandTexts.h"
#include "serial/QtSerialDevice.h"

#ifndef Q_OS_WIN
#include "ChronyReference.h"
#endif

ServiceHost::ServiceHost(const ServiceOptions& options, std::optional<AccessToken> token)
    : m_options(options), m_token(std::move(token)), m_port(QtSerialDevice::factory()),
      m_session(m_port, m_clock, &m_ports), m_keeper(m_session, PortKeeper::Mode::Keep, &m_ports),
      m_service(m_session, m_clock, options.port) {
    m_port.setSettings(LineSettings{options.baudRate, 'n', 8, 1}.toString());
    QObject::connect(&m_keeper, &PortKeeper::opened, [this](const QString& description) {
        serviceLog(QStringLiteral("Opened %1 at %2").arg(description, m_port.Settings()));
    });
    QObject::connect(&m_keeper, &PortKeeper::cannotOpen, [](const RuntimeError& error) {
        serviceLog(QStringLiteral("Cannot open the port, trying every second: ") +
                   CommandTexts::portError(error));
    });
    QObject::connect(&m_keeper, &PortKeeper::lost, [](const RuntimeError& error) {
        serviceLog(QStringLiteral("Lost the port: ") + CommandTexts::portError(error));
    });
    // One direction of time or the other, as the options allow.
    if (options.correction)
        m_direction = std::make_unique<ClockCorrector>(m_session, m_service, m_computerClock, m_clock,
                                                       *options.correction);
#ifndef Q_OS_WIN
    if (!options.chronySocket.isEmpty())
        m_direction = std::make_unique<ChronyReference>(m_session, m_service, options.chronySocket);
#endif
    m_httpThread.setObjectName(QStringLiteral("http"));
    m_inHttpThread.moveToThread(&m_httpThread);
}

ServiceHost::~ServiceHost() {
    shutdown();
}

bool ServiceHost::start(QString* error) {
    m_keeper.open(m_options.port);
    // The HTTP server in a thread of its own: the session's wait for a second
    // boundary blocks its thread for its last moments, and requests are
    // answered meanwhile. The server is made in that thread, where Qt's
    // server keeps its web socket server.
    m_httpThread.start();
    bool listening = false;
    QMetaObject::invokeMethod(
        &m_inHttpThread,
        [&] {
            m_api = new HttpApi(m_service, m_computerClock, m_token, m_options.allowedHosts,
                                m_options.prometheus);
            listening = m_api->serve(m_options.address, m_options.listenPort, error);
        },
        Qt::BlockingQueuedConnection);
    if (!listening) {
        serviceLog(QStringLiteral("varo-clock-service: cannot listen on %1:%2: %3")
                       .arg(m_options.address.toString())
                       .arg(m_options.listenPort)
                       .arg(*error));
        return false;
    }
    const QString host = m_options.address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(m_options.address.toString())
                             : m_options.address.toString();
    serviceLog(QStringLiteral("varo-clock-service " VARO_VERSION " listening on http://%1:%2/%3")
                   .arg(host)
                   .arg(m_api->port())
                   .arg(m_token ? QStringLiteral(" (token required)") : QString()));
    return true;
}

void ServiceHost::stop(const QString& why, const std::function<void()>& stopped) {
    if (std::exchange(m_stopping, true)) {
        serviceLog(QStringLiteral("stopping at once: %1").arg(why));
        return stopped();
    }
    const bool waiting = m_service.commandsUnderWay() > 0;
    serviceLog(QStringLiteral("stopping: %1%2")
                   .arg(why, waiting ? QStringLiteral(", once the command under way has ended") : QString()));
    // Nothing starts a command by itself any more.
    m_direction.reset();
    if (m_httpThread.isRunning())
        QMetaObject::invokeMethod(
            &m_inHttpThread, [this] { m_api->stopTaking(); }, Qt::BlockingQueuedConnection);
    if (!waiting)
        return stopped();
    // Queued: after the command's answer is on its way to the HTTP thread.
    QObject::connect(
        &m_service, &ClockService::commandFinished, &m_service,
        [this, stopped] {
            if (m_service.commandsUnderWay() == 0)
                stopped();
        },
        Qt::QueuedConnection);
}

void ServiceHost::shutdown() {
    // The clients of the command on the line, and of set times waiting for
    // the next time frame, are answered through the HTTP thread, which
    // writes those answers before it deletes its server.
    m_direction.reset();
    m_session.cancel();
    if (m_httpThread.isRunning()) {
        QMetaObject::invokeMethod(
            &m_inHttpThread, [this] { delete std::exchange(m_api, nullptr); }, Qt::BlockingQueuedConnection);
        m_httpThread.quit();
        m_httpThread.wait();
    }
}
