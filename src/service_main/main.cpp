#include "VaroVersion.h"
#include "service/AccessToken.h"
#include "service/ServiceHost.h"
#include "service/ServiceLog.h"
#include "service/ServiceOptions.h"

#include <QCoreApplication>
#include <cstdio>

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

    ServiceHost host(*options, std::move(token));
    if (!host.start(&error))
        return Failure;
    const int status = app.exec();
    host.shutdown();
    return status;
}
