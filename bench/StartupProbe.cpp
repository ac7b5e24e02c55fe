#include "StartupProbe.h"

#include "BenchClock.h"
#include "StampedDialogs.h"
#include "app/Form1.h"
#include "app/ProductionSeams.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QWindow>
#include <csignal>
#include <cstdio>
#include <sys/prctl.h>

namespace StartupProbe {

namespace {
double toMs(qint64 us) {
    return double(us) / 1000.0;
}
} // namespace

int run(int argc, char* argv[]) {
    const char* clockSource = "";
    const qint64 atEntryUs = BenchClock::sinceProcessStartUs(&clockSource);
    const qint64 entryEpochUs = BenchClock::epochUs();
    const auto sinceStartMs = [&] {
        return toMs(atEntryUs + BenchClock::epochUs() - entryEpochUs);
    };

    // Wired like the program's main; only the message boxes are recorded, as
    // a modal box would stall the probe.
    QApplication app(argc, argv);
    QApplication::setApplicationName(Form1::kApplicationTitle);
    QApplication::setApplicationDisplayName(QString());
    const double applicationMs = sinceStartMs();

    StampedDialogs dialogs;
    const ProductionSeams production(&dialogs);

    // The constructor loads the window, which probes all 16 ports.
    Form1 window(production.seams());
    const double builtMs = sinceStartMs();
    window.show();
    const QDeadlineTimer deadline(10000);
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double shownMs = sinceStartMs();
    const bool exposed = window.windowHandle() && window.windowHandle()->isExposed();

    QJsonArray ports;
    const auto* combo = window.findChild<QComboBox*>(QStringLiteral("Combo1"));
    for (int i = 0; combo && i < combo->count(); ++i)
        ports.append(combo->itemText(i));
    QJsonArray messages;
    for (const StampedDialogs::Message& message : dialogs.messages)
        messages.append(message.text);

    const QJsonObject result{{QStringLiteral("elapsed_ms"), shownMs},
                             {QStringLiteral("application_ms"), applicationMs},
                             {QStringLiteral("window_built_ms"), builtMs},
                             {QStringLiteral("exposed"), exposed},
                             {QStringLiteral("vmhwm_kib"), BenchClock::peakResidentKiB()},
                             {QStringLiteral("start_clock"), QString::fromLatin1(clockSource)},
                             {QStringLiteral("platform"), QGuiApplication::platformName()},
                             {QStringLiteral("ports"), ports},
                             {QStringLiteral("selected_port"), combo ? combo->currentText() : QString()},
                             {QStringLiteral("messages"), messages}};
    const QByteArray line = kLinePrefix + QJsonDocument(result).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
    return exposed ? 0 : 1;
}

QJsonObject spawn(const QString& device) {
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VARO_CLOCK_COM16"), device);
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    // Stamped as late as possible: fork and exec belong to the start-up.
    environment.insert(QStringLiteral("VARO_BENCH_SPAWN_US"), QString::number(BenchClock::epochUs()));
    probe.setProcessEnvironment(environment);
    probe.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kOption)});
    if (!probe.waitForFinished(30000)) {
        probe.kill();
        probe.waitForFinished();
        return {{QStringLiteral("error"), QStringLiteral("start-up probe did not finish")}};
    }
    for (const QByteArray& line : probe.readAllStandardOutput().split('\n'))
        if (line.startsWith(kLinePrefix))
            return QJsonDocument::fromJson(line.mid(qstrlen(kLinePrefix))).object();
    return {{QStringLiteral("error"),
             QStringLiteral("start-up probe ended with status %1 and no result").arg(probe.exitCode())}};
}

} // namespace StartupProbe
