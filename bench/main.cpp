// varo-clock-bench: timing and cost of the window's clock commands against
// the master clock simulator on a pseudo-terminal. See README.md, section
// "Performance".
#include "Benchmarks.h"
#include "StartupProbe.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>
#include <cstring>

namespace {

QString defaultSimPath() {
    // Beside the build tree's simulator first, then next to this program.
    const QString built = QStringLiteral(VARO_BENCH_SIM_PATH);
    if (QFileInfo(built).isExecutable())
        return built;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/varo-clock-sim");
}

bool readCount(const QCommandLineParser& parser, const QCommandLineOption& option, int minimum, int* value) {
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const int parsed = parser.value(option).toInt(&ok);
    if (!ok || parsed < minimum) {
        QTextStream(stderr) << "varo-clock-bench: --" << option.names().first()
                            << " needs a number of at least " << minimum << Qt::endl;
        return false;
    }
    *value = parsed;
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
    const QCommandLineOption presses(QStringLiteral("presses"),
                                     QStringLiteral("Presses of each timed command (default 20)."),
                                     QStringLiteral("n"));
    const QCommandLineOption reads(QStringLiteral("reads"),
                                   QStringLiteral("Answered settings reads (default 20)."),
                                   QStringLiteral("n"));
    const QCommandLineOption waits(QStringLiteral("waits"),
                                   QStringLiteral("Second-boundary waits of each design (default 12)."),
                                   QStringLiteral("n"));
    const QCommandLineOption silentReads(
        QStringLiteral("silent-reads"),
        QStringLiteral("Unanswered settings reads of each design (default 3)."), QStringLiteral("n"));
    const QCommandLineOption startupRuns(QStringLiteral("startup-runs"),
                                         QStringLiteral("Start-up probe processes (default 10)."),
                                         QStringLiteral("n"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the random click phases (default 1)."),
                                  QStringLiteral("n"));
    const QCommandLineOption only(QStringLiteral("only"),
                                  QStringLiteral("Run only these parts, comma-separated: ") +
                                      BenchRun::kParts.join(QLatin1Char(',')) + QLatin1Char('.'),
                                  QStringLiteral("parts"));
    parser.addOptions({json, sim, presses, reads, waits, silentReads, startupRuns, seed, only});
    parser.process(app);

    BenchOptions options;
    options.jsonPath = parser.value(json);
    options.simPath = parser.value(sim);
    int seedValue = int(options.seed);
    if (!readCount(parser, presses, 1, &options.presses) || !readCount(parser, reads, 1, &options.reads) ||
        !readCount(parser, waits, 1, &options.waits) ||
        !readCount(parser, silentReads, 1, &options.silentReads) ||
        !readCount(parser, startupRuns, 1, &options.startupRuns) || !readCount(parser, seed, 0, &seedValue))
        return 2;
    options.seed = quint32(seedValue);
    if (parser.isSet(only))
        for (const QString& part : parser.value(only).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!BenchRun::kParts.contains(part)) {
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
    return BenchRun(options).exec();
}
