#include "StopSignals.h"
#include "VaroVersion.h"
#include "service/AccessToken.h"
#include "service/ServiceHost.h"
#include "service/ServiceLog.h"
#include "service/ServiceOptions.h"

#include <QCoreApplication>
#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {
enum ExitStatus { Ok = 0, Failure = 1, Usage = 2 };

void say(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// Each client is a file: the soft limit, 1024 on Debian, is below what the
// service takes (RequestGate::kMostConnections, web sockets, the port).
void raiseOpenFileLimit() {
#ifndef Q_OS_WIN
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
#endif
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

    raiseOpenFileLimit();
    int status = Ok;
    {
        ServiceHost host(*options, std::move(token));
        StopSignals stopSignals;
        QObject::connect(&stopSignals, &StopSignals::received, &app,
                         [&host](const QString& name) { host.stop(name, [] { QCoreApplication::quit(); }); });
        if (!host.start(&error))
            return Failure;
        status = app.exec();
    } // the port closed, every client answered
    serviceLog(QStringLiteral("varo-clock-service stopped"));
#ifdef Q_OS_WIN
    // Once a console's stop has come, Wine never ends a process the usual
    // way (its DLLs' farewells hang); nothing is left to tidy.
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), UINT(status));
#endif
    return status;
}
