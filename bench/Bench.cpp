#include "Bench.h"

#include "Figures.h"
#include "Machine.h"
#include "Measurement.h"
#include "Report.h"
#include "app/Form1.h"
#include "common/RuntimeError.h"
#include "protocol/WallClock.h"
#include "serial/PortHolders.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>
#include <QWindow>

Bench::Bench(BenchOptions options) : m_options(std::move(options)), m_random(quint32(m_options.seed)) {}

Bench::~Bench() = default;

int Bench::exec() {
    const Machine::Description description = Machine::describe();
    m_report = std::make_unique<Report>(Machine::toJson(description),
                                        QCoreApplication::arguments().join(QLatin1Char(' ')));
    const QString loadBefore = Machine::loadAverages();
    const double busyBefore = Figures::rounded(Machine::busyPercent(1000), 1);
    m_report->addLoad(QStringLiteral("loadavg_before"), loadBefore);
    m_report->addLoad(QStringLiteral("busy_percent_before"), busyBefore);
    QTextStream(stdout) << "Machine: " << description.cpuModel << ", " << description.cores << " cores, "
                        << description.kernel << ", Qt " << description.qtVersion << Qt::endl
                        << "Load before: " << loadBefore << " (all cores busy " << busyBefore << " %)"
                        << Qt::endl;

    runMeasurements();

    m_report->addLoad(QStringLiteral("loadavg_after"), Machine::loadAverages());
    QTextStream out(stdout);
    m_report->printTable(out);
    QString error;
    if (!m_options.jsonPath.isEmpty() && !m_report->writeJson(m_options.jsonPath, &error)) {
        QTextStream(stderr) << "varo-clock-bench: cannot write " << m_options.jsonPath << ": " << error
                            << Qt::endl;
        return 1;
    }
    return m_report->hasErrors() ? 1 : 0;
}

void Bench::runMeasurements() {
    for (const Measurement& measurement : Measurement::all()) {
        if (!m_options.only.isEmpty() && !m_options.only.contains(measurement.part))
            continue;
        QTextStream(stdout) << "measuring " << measurement.part << " ..." << Qt::endl;
        try {
            const QJsonObject figures = measurement.measure(*this);
            if (!figures.isEmpty())
                m_report->addFigures(measurement.jsonKey, figures);
        } catch (const RuntimeError& error) {
            // The serial component failed outside the window's own handlers.
            fail(measurement.part + QStringLiteral(": ") + error.description());
        }
        // The window first: its device goes with the simulator.
        closeWindow();
        m_sims.clear();
    }
}

void Bench::fail(const QString& why) {
    m_report->addError(why);
    QTextStream(stderr) << "varo-clock-bench: " << why << Qt::endl;
}

void Bench::pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

SimChild* Bench::startSim(const QStringList& options) {
    auto sim = std::make_unique<SimChild>(m_options.simPath);
    QString error;
    // --persist: the probes and windows open and close the device many times.
    if (!sim->start(QStringList{QStringLiteral("--persist")} + options, &error)) {
        fail(error);
        return nullptr;
    }
    m_sims.push_back(std::move(sim));
    return m_sims.back().get();
}

bool Bench::openWindow(const QString& device, WallClock* clock, SerialDeviceFactory devices) {
    closeWindow();
    m_dialogs.messages.clear();
    // The window's start-up scans ports 1 to 16 and opens the last one found.
    qputenv("VARO_CLOCK_COM16", device.toLocal8Bit());
    Form1Seams seams = m_production.seams();
    if (devices)
        seams.serialDevices = devices;
    if (clock)
        seams.clock = clock;
    m_window = std::make_unique<Form1>(seams);
    m_window->show();
    const QDeadlineTimer deadline(10000);
    while (!(m_window->windowHandle() && m_window->windowHandle()->isExposed()) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const auto* ports = m_window->findChild<QComboBox*>(QStringLiteral("Combo1"));
    auto* clocks = m_window->findChild<QComboBox*>(QStringLiteral("Combo2"));
    if (!ports || ports->currentText() != QLatin1String("Com16") || !clocks) {
        // Another process may hold the new pseudo-terminal: one that kept the
        // name of an older one with the same number.
        const std::optional<PortHolders::Holder> holder = PortHolders::find(device);
        fail(
            QStringLiteral("the window did not open Com16 on %1 (port box: \"%2\", holder: %3, messages: %4)")
                .arg(device, ports ? ports->currentText() : QString(),
                     holder ? holder->describe() : QStringLiteral("none"), lastMessage()));
        return false;
    }
    clocks->setCurrentIndex(kClockIndex);
    pump(200);
    return true;
}

void Bench::closeWindow() {
    m_window.reset();
}

QObject* Bench::findInWindow(const QString& name) const {
    return m_window ? m_window->findChild<QObject*>(name) : nullptr;
}

QString Bench::lastMessage() const {
    return m_dialogs.messages.isEmpty() ? QStringLiteral("no message") : m_dialogs.messages.last().text;
}
