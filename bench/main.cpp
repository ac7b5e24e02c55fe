// varo-clock-bench: timing and cost of the window's clock commands against
// the master clock simulator on a pseudo-terminal. How the figures are taken:
// bench/README.md.
#include "Bench.h"
#include "Measurement.h"
#include "SimProcess.h"
#include "StartupProbe.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>
#include <cstring>

namespace {

QString defaultSimPath() {
    // Beside the build tree's simulator first, then next to this program.
    const QString built = SimProcess::builtProgram();
    if (QFileInfo(built).isExecutable())
        return built;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/varo-clock-sim");
}

// The numeric options: how often each part measures, and the seed.
struct CountOption {
    const char* name;
    const char* description;
    int BenchOptions::*field;
    int minimum;
};
const CountOption kCountOptions[] = {
    {"presses", "Presses of each timed command", &BenchOptions::presses, 1},
    {"reads", "Answered settings reads", &BenchOptions::reads, 1},
    {"waits", "Second-boundary waits of each design", &BenchOptions::waits, 1},
    {"silent-reads", "Unanswered settings reads of each design", &BenchOptions::silentReads, 1},
    {"startup-runs", "Start-up probe processes", &BenchOptions::startupRuns, 1},
    {"stream-seconds", "Sentences of the GPS stream (每秒发送)", &BenchOptions::streamSeconds, 2},
    {"seed", "Seed of the random click phases", &BenchOptions::seed, 0},
};

QCommandLineOption commandLineOption(const CountOption& count) {
    return QCommandLineOption(QString::fromLatin1(count.name),
                              QStringLiteral("%1 (default %2).")
                                  .arg(QString::fromUtf8(count.description))
                                  .arg(BenchOptions().*count.field),
                              QStringLiteral("n"));
}

bool readCount(const QCommandLineParser& parser, const CountOption& count, BenchOptions& options) {
    const QString name = QString::fromLatin1(count.name);
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int parsed = parser.value(name).toInt(&ok);
    if (!ok || parsed < count.minimum) {
        QTextStream(stderr) << "varo-clock-bench: --" << name << " needs a number of at least "
                            << count.minimum << Qt::endl;
        return false;
    }
    options.*count.field = parsed;
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    // Offscreen unless the caller chose a platform: the figures are meant to
    // be comparable between machines with and without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], StartupProbe::kOption) == 0)
            return StartupProbe::run(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varo-clock-bench"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Measures the window's second-boundary timing, its waits and its start-up against the "
                       "master clock simulator, prints a table and optionally writes the figures as JSON."));
    parser.addHelpOption();
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Write the figures to <file>."),
                                  QStringLiteral("file"));
    const QCommandLineOption sim(QStringLiteral("sim"), QStringLiteral("The simulator program."),
                                 QStringLiteral("path"), defaultSimPath());
    const QCommandLineOption only(QStringLiteral("only"),
                                  QStringLiteral("Run only these parts, comma-separated: ") +
                                      Measurement::parts().join(QLatin1Char(',')) + QLatin1Char('.'),
                                  QStringLiteral("parts"));
    parser.addOptions({json, sim, only});
    for (const CountOption& count : kCountOptions)
        parser.addOption(commandLineOption(count));
    parser.process(app);

    BenchOptions options;
    options.jsonPath = parser.value(json);
    options.simPath = parser.value(sim);
    for (const CountOption& count : kCountOptions)
        if (!readCount(parser, count, options))
            return 2;
    if (parser.isSet(only))
        for (const QString& part : parser.value(only).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!Measurement::parts().contains(part)) {
                QTextStream(stderr) << "varo-clock-bench: unknown part " << part << Qt::endl;
                return 2;
            }
            options.only.insert(part);
        }
    if (!QFileInfo(options.simPath).isExecutable()) {
        QTextStream(stderr) << "varo-clock-bench: no simulator at " << options.simPath << " (--sim)"
                            << Qt::endl;
        return 2;
    }
    return Bench(options).exec();
}
