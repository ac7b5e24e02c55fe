#include "VaroVersion.h"
#include "protocol/SystemClockReader.h"
#include "protocol/WallClock.h"
#include "serial/QtSerialDevice.h"
#include "serial/SerialPortComponent.h"
#include "serial/SystemPortCatalog.h"
#include "service/AccessToken.h"
#include "service/ClockCorrector.h"
#include "service/ClockService.h"
#include "service/HttpApi.h"
#include "service/PortKeeper.h"
#include "service/ServiceLog.h"
#include "service/ServiceOptions.h"
#include "session/ClockSession.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <memory>

#ifndef Q_OS_WIN
#include "service/ChronyReference.h"
#endif

namespace {
enum ExitStatus { Ok = 0, Failure = 1, Usage = 2 };

void say(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varo-clock-service"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARO_VERSION));

    QString error;
    const std::optional<ServiceOptions> options =
        ServiceOptions::parse(QCoreApplication::arguments().mid(1), &error);
    if (!options) {
        say(stderr,
            QStringLiteral("varo-clock-service: %1\n(varo-clock-service --help tells more)\n").arg(error));
        return Usage;
    }
    if (options->action == ServiceOptions::Action::Help) {
        say(stdout, ServiceOptions::helpText());
        return Ok;
    }
    if (options->action == ServiceOptions::Action::Version) {
        say(stdout, QStringLiteral("varo-clock-service " VARO_VERSION "\n"));
        return Ok;
    }
    std::optional<AccessToken> token;
    if (!options->tokenFile.isEmpty() && !(token = AccessToken::load(options->tokenFile, &error))) {
        serviceLog(QStringLiteral("varo-clock-service: ") + error);
        return Failure;
    }

    SystemWallClock clock;
    SystemPortCatalog ports;
    SerialPortComponent port(QtSerialDevice::factory());
    port.setSettings(LineSettings{options->baudRate, 'n', 8, 1}.toString());
    ClockSession session(port, clock, &ports);
    ClockService service(session, clock, options->port);
    SystemClockReader computerClock;
    // One direction of time or the other, as the options allow.
    std::unique_ptr<QObject> direction;
    if (options->correction)
        direction =
            std::make_unique<ClockCorrector>(session, service, computerClock, clock, *options->correction);
#ifndef Q_OS_WIN
    if (!options->chronySocket.isEmpty())
        direction = std::make_unique<ChronyReference>(session, options->chronySocket);
#endif
    PortKeeper keeper(session, options->port);
    keeper.start();

    // The HTTP server in a thread of its own: the session's wait for a second
    // boundary blocks its thread for its last moments, and requests are
    // answered meanwhile. The server is made in that thread, where Qt's
    // server keeps its web socket server.
    QThread httpThread;
    httpThread.setObjectName(QStringLiteral("http"));
    QObject inHttpThread;
    inHttpThread.moveToThread(&httpThread);
    httpThread.start();
    HttpApi* api = nullptr;
    bool listening = false;
    QMetaObject::invokeMethod(
        &inHttpThread,
        [&] {
            api = new HttpApi(service, computerClock, token);
            listening = api->serve(options->address, options->listenPort, &error);
        },
        Qt::BlockingQueuedConnection);
    int status = Failure;
    if (listening) {
        const QString host = options->address.protocol() == QAbstractSocket::IPv6Protocol
                                 ? QStringLiteral("[%1]").arg(options->address.toString())
                                 : options->address.toString();
        serviceLog(QStringLiteral("varo-clock-service " VARO_VERSION " listening on http://%1:%2/%3")
                       .arg(host)
                       .arg(api->port())
                       .arg(token ? QStringLiteral(" (token required)") : QString()));
        status = app.exec();
    } else {
        serviceLog(QStringLiteral("varo-clock-service: cannot listen on %1:%2: %3")
                       .arg(options->address.toString())
                       .arg(options->listenPort)
                       .arg(error));
    }
    QMetaObject::invokeMethod(
        &inHttpThread, [&] { delete api; }, Qt::BlockingQueuedConnection);
    httpThread.quit();
    httpThread.wait();
    return status;
}
