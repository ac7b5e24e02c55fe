#include "Benchmarks.h"

#include "BenchClock.h"
#include "Instrumented.h"
#include "Machine.h"
#include "SimChild.h"
#include "StartupProbe.h"
#include "Stats.h"
#include "app/Form1.h"
#include "common/RuntimeError.h"
#include "protocol/Frames.h"
#include "protocol/SecondBoundary.h"
#include "serial/PortNames.h"
#include "serial/QtSerialDevice.h"
#include "serial/SerialPortComponent.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QLineEdit>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <cmath>
#include <functional>
#include <iterator>

namespace {

constexpr qint64 kUsPerSecond = 1'000'000;
constexpr int kSecondsPerDay = 86400;
constexpr int kSettingsReplyBytes = 50;
const QString kCountdownStart = QStringLiteral("10:00:00");

double usToMs(double us) {
    return us / 1000.0;
}

double rounded(double value, int decimals = 3) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

QJsonArray roundedArray(const QList<double>& values, int decimals = 3) {
    QJsonArray array;
    for (double value : values)
        array.append(rounded(value, decimals));
    return array;
}

// Two decimal digits of a text, as BCD bytes show in hex; -1 when not digits.
int twoDigits(const QString& text, qsizetype at) {
    bool ok = false;
    const int value = text.mid(at, 2).toInt(&ok, 10);
    return ok ? value : -1;
}

int secondOfDay(int hours, int minutes, int seconds) {
    if (hours < 0 || minutes < 0 || seconds < 0)
        return -1;
    return hours * 3600 + minutes * 60 + seconds;
}

// The local time of day (in seconds) that a timed frame belongs to, read from
// the frame itself; -1 when the frame does not say.
int frameSecondOfDay(const QString& button, const QString& hex) {
    if (button == QLatin1String("Command1")) // AA 00 YY MM DD W hh mm ss
        return secondOfDay(twoDigits(hex, 12), twoDigits(hex, 14), twoDigits(hex, 16));
    if (button == QLatin1String("Command3")) { // DD Dn hh mm ss: time left until the start time
        const int remaining = secondOfDay(twoDigits(hex, 4), twoDigits(hex, 6), twoDigits(hex, 8));
        const int start =
            QTime::fromString(kCountdownStart, QStringLiteral("HH:mm:ss")).msecsSinceStartOfDay() / 1000;
        return remaining < 0 ? -1 : (start - remaining + kSecondsPerDay) % kSecondsPerDay;
    }
    // $GPRMC,hhmmss.123,...
    const QString sentence = QString::fromLatin1(QByteArray::fromHex(hex.toLatin1()));
    if (!sentence.startsWith(QLatin1String("$GPRMC,")))
        return -1;
    return secondOfDay(twoDigits(sentence, 7), twoDigits(sentence, 9), twoDigits(sentence, 11));
}

// Epoch microseconds of the start of the local second `frameSecond` nearest to
// the moment `atUs`.
qint64 boundaryEpochUs(qint64 atUs, int frameSecond) {
    const int atSecond = QDateTime::fromMSecsSinceEpoch(atUs / 1000).time().msecsSinceStartOfDay() / 1000;
    int secondsLater = atSecond - frameSecond;
    if (secondsLater > kSecondsPerDay / 2)
        secondsLater -= kSecondsPerDay;
    if (secondsLater < -kSecondsPerDay / 2)
        secondsLater += kSecondsPerDay;
    return (atUs / kUsPerSecond - secondsLater) * kUsPerSecond;
}

// The naive design the window does not use: read the clock without pause
// until its second changes.
QDateTime spinToNextSecond(int& secondMarker) {
    QDateTime reading = QDateTime::currentDateTime();
    secondMarker = reading.time().second();
    while (reading.time().second() == secondMarker)
        reading = QDateTime::currentDateTime();
    return reading;
}

QString formatMs(double ms, int decimals) {
    return QString::number(ms, 'f', decimals) + QStringLiteral(" ms");
}

} // namespace

const QStringList BenchRun::kParts = {QStringLiteral("startup"),  QStringLiteral("boundary-wait"),
                                      QStringLiteral("boundary"), QStringLiteral("breakdown"),
                                      QStringLiteral("answer"),   QStringLiteral("answer-wait"),
                                      QStringLiteral("stream")};

BenchRun::BenchRun(BenchOptions options) : m_options(std::move(options)), m_random(quint32(m_options.seed)) {}

BenchRun::~BenchRun() = default;

void BenchRun::fail(const QString& why) {
    m_errors << why;
    QTextStream(stderr) << "varo-clock-bench: " << why << Qt::endl;
}

void BenchRun::addTarget(const QString& measurement, double value, double limit, const QString& unit,
                         int decimals) {
    const bool met = value <= limit;
    m_rows.append({measurement, QString::number(value, 'f', decimals) + QLatin1Char(' ') + unit,
                   QStringLiteral("<= ") + QString::number(limit) + QLatin1Char(' ') + unit,
                   met ? QStringLiteral("met") : QStringLiteral("MISSED")});
    m_targets.append(QJsonObject{{QStringLiteral("measurement"), measurement},
                                 {QStringLiteral("value"), rounded(value, decimals)},
                                 {QStringLiteral("limit"), limit},
                                 {QStringLiteral("unit"), unit},
                                 {QStringLiteral("met"), met}});
}

void BenchRun::addInfo(const QString& measurement, const QString& value) {
    m_rows.append({measurement, value, QString(), QString()});
}

std::unique_ptr<SimChild> BenchRun::startSim(const QStringList& options) {
    auto sim = std::make_unique<SimChild>(m_options.simPath);
    QString error;
    // --persist: the probes and windows open and close the device many times.
    if (!sim->start(QStringList{QStringLiteral("--persist")} + options, &error)) {
        fail(error);
        return nullptr;
    }
    return sim;
}

bool BenchRun::openWindow(const QString& device, WallClock* clock, SerialDeviceFactory devices) {
    m_window.reset();
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
    if (!ports || ports->currentText() != QLatin1String("Com16")) {
        fail(QStringLiteral("the window did not open Com16 on %1 (messages: %2)")
                 .arg(device, m_dialogs.messages.isEmpty() ? QStringLiteral("none")
                                                           : m_dialogs.messages.last().text));
        return false;
    }
    pump(200);
    return true;
}

QAbstractButton* BenchRun::button(const QString& name) const {
    return m_window->findChild<QAbstractButton*>(name);
}

void BenchRun::pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

QJsonObject BenchRun::measureStartup() {
    const std::unique_ptr<SimChild> sim = startSim({});
    if (!sim)
        return {};
    QList<double> elapsedMs, applicationMs, builtMs, peakKiB;
    QJsonArray runs;
    for (int run = 0; run < m_options.startupRuns; ++run) {
        const QJsonObject probe = StartupProbe::spawn(sim->device());
        runs.append(probe);
        if (probe.contains(QStringLiteral("error")) || !probe.value(QStringLiteral("exposed")).toBool() ||
            probe.value(QStringLiteral("selected_port")).toString() != QLatin1String("Com16")) {
            fail(QStringLiteral("start-up probe %1 failed: %2")
                     .arg(run + 1)
                     .arg(QString::fromUtf8(QJsonDocument(probe).toJson(QJsonDocument::Compact))));
            return {};
        }
        elapsedMs << probe.value(QStringLiteral("elapsed_ms")).toDouble();
        applicationMs << probe.value(QStringLiteral("application_ms")).toDouble();
        builtMs << probe.value(QStringLiteral("window_built_ms")).toDouble();
        peakKiB << probe.value(QStringLiteral("vmhwm_kib")).toDouble();
    }
    const double medianMs = Stats::median(elapsedMs);
    const double peakMiB = Stats::maximum(peakKiB) / 1024.0;
    addTarget(QStringLiteral("Start-up to window shown, median of %1").arg(elapsedMs.size()), medianMs, 300,
              QStringLiteral("ms"), 1);
    addInfo(QStringLiteral("  of which: QApplication ready / window built"),
            formatMs(Stats::median(applicationMs), 1) + QStringLiteral(" / ") +
                formatMs(Stats::median(builtMs), 1));
    addTarget(QStringLiteral("Start-up peak resident memory (VmHWM), max"), peakMiB, 60,
              QStringLiteral("MiB"), 1);
    return {{QStringLiteral("runs"), elapsedMs.size()},
            {QStringLiteral("median_ms"), rounded(medianMs, 1)},
            {QStringLiteral("max_ms"), rounded(Stats::maximum(elapsedMs), 1)},
            {QStringLiteral("median_application_ready_ms"), rounded(Stats::median(applicationMs), 1)},
            {QStringLiteral("median_window_built_ms"), rounded(Stats::median(builtMs), 1)},
            {QStringLiteral("vmhwm_median_mib"), rounded(Stats::median(peakKiB) / 1024.0, 1)},
            {QStringLiteral("vmhwm_max_mib"), rounded(peakMiB, 1)},
            {QStringLiteral("start_clock"), runs.first().toObject().value(QStringLiteral("start_clock"))},
            {QStringLiteral("platform"), runs.first().toObject().value(QStringLiteral("platform"))},
            {QStringLiteral("ports_listed"), runs.first().toObject().value(QStringLiteral("ports"))},
            {QStringLiteral("elapsed_ms"), roundedArray(elapsedMs, 1)}};
}

QJsonObject BenchRun::measureBoundaryWaitCost() {
    QList<double> cpuUs[2], wallUs[2], lateUs[2];
    for (int wait = 0; wait < m_options.waits; ++wait)
        // Alternate the designs, so that both see the same background load;
        // a random phase makes the waits as long as an operator's would be.
        for (int design = 0; design < 2; ++design) {
            QThread::msleep(ulong(randomMs(0, 999)));
            int secondMarker = 0;
            const qint64 cpuBefore = BenchClock::threadCpuUs();
            const qint64 wallBefore = BenchClock::monotonicUs();
            if (design == 0)
                waitForNextSecond(m_clock, secondMarker);
            else
                spinToNextSecond(secondMarker);
            const qint64 returnedAtUs = BenchClock::epochUs();
            wallUs[design] << double(BenchClock::monotonicUs() - wallBefore);
            cpuUs[design] << double(BenchClock::threadCpuUs() - cpuBefore);
            lateUs[design] << double(returnedAtUs % kUsPerSecond);
        }
    const double share = 100.0 * Stats::sum(cpuUs[0]) / Stats::sum(wallUs[0]);
    const double naiveShare = 100.0 * Stats::sum(cpuUs[1]) / Stats::sum(wallUs[1]);
    addTarget(QStringLiteral("Second-boundary wait: CPU share of wall (%1 waits)").arg(m_options.waits),
              share, 10, QStringLiteral("%"), 2);
    addInfo(QStringLiteral("  reference spin on QDateTime: CPU share"),
            QString::number(naiveShare, 'f', 1) + QStringLiteral(" % (ratio ") +
                QString::number(naiveShare / share, 'f', 0) + QStringLiteral("x)"));
    addInfo(QStringLiteral("  returns after the boundary, median (window / spin)"),
            QString::number(Stats::median(lateUs[0]), 'f', 0) + QStringLiteral(" us / ") +
                QString::number(Stats::median(lateUs[1]), 'f', 0) + QStringLiteral(" us"));
    const auto design = [&](int index, double cpuShare) {
        return QJsonObject{
            {QStringLiteral("cpu_share_percent"), rounded(cpuShare, 3)},
            {QStringLiteral("cpu_ms_total"), rounded(usToMs(Stats::sum(cpuUs[index])))},
            {QStringLiteral("wall_ms_total"), rounded(usToMs(Stats::sum(wallUs[index])))},
            {QStringLiteral("median_cpu_ms_per_wait"), rounded(usToMs(Stats::median(cpuUs[index])))},
            {QStringLiteral("median_returned_after_boundary_us"), Stats::median(lateUs[index])},
            {QStringLiteral("wall_ms"), roundedArray([&] {
                 QList<double> ms;
                 for (double us : wallUs[index])
                     ms << usToMs(us);
                 return ms;
             }())}};
    };
    return {{QStringLiteral("waits"), m_options.waits},
            {QStringLiteral("window"), design(0, share)},
            {QStringLiteral("reference_spin"), design(1, naiveShare)},
            {QStringLiteral("ratio_reference_to_window"), rounded(naiveShare / share, 1)}};
}

namespace {
// The three commands that send right after a second boundary, and how their
// frames begin in hex.
struct TimedCommand {
    QString button;
    QString hexPrefix;
};
const TimedCommand kTimedCommands[] = {{QStringLiteral("Command1"), QStringLiteral("AA00")},
                                       {QStringLiteral("Command3"), QStringLiteral("DD")},
                                       {QStringLiteral("Command9"), QStringLiteral("2447")}};

QJsonObject latencyFigures(const QList<double>& us) {
    return {{QStringLiteral("median_us"), rounded(Stats::median(us), 0)},
            {QStringLiteral("p99_us"), rounded(Stats::percentile(us, 99), 0)},
            {QStringLiteral("max_us"), rounded(Stats::maximum(us), 0)}};
}
} // namespace

std::optional<BenchRun::TimedFrame> BenchRun::pressTimed(SimChild& sim, const QString& buttonName,
                                                         const QString& hexPrefix,
                                                         const std::function<void()>& beforeClick) {
    QAbstractButton* target = button(buttonName);
    auto* startText = m_window->findChild<QLineEdit*>(QStringLiteral("Text18"));
    if (!target || !startText) {
        fail(QStringLiteral("no button %1 or no Text18 in the window").arg(buttonName));
        return std::nullopt;
    }
    // The countdown's frame then tells which second it belongs to.
    startText->setText(kCountdownStart);
    // A random phase: an operator's click falls anywhere in the second.
    pump(randomMs(0, 999));
    const qsizetype messagesBefore = m_dialogs.messages.size();
    if (beforeClick)
        beforeClick();
    target->click();
    if (m_dialogs.messages.size() > messagesBefore) {
        fail(buttonName + QStringLiteral(" reported: ") + m_dialogs.messages.last().text);
        return std::nullopt;
    }
    const std::optional<SimLogLine> received = sim.next(QStringLiteral("RX"), hexPrefix, 5000);
    const int second = received ? frameSecondOfDay(buttonName, received->hex) : -1;
    if (second < 0) {
        fail(QStringLiteral("the simulator logged no frame of %1").arg(buttonName));
        return std::nullopt;
    }
    return TimedFrame{received->atUs, boundaryEpochUs(received->atUs, second)};
}

QJsonObject BenchRun::measureBoundaryLatency(SimChild& sim) {
    QList<double> latencyUs[std::size(kTimedCommands)];
    for (int press = 0; press < m_options.presses; ++press)
        // Round robin, so that all three see the same background load.
        for (size_t command = 0; command < std::size(kTimedCommands); ++command) {
            const std::optional<TimedFrame> frame =
                pressTimed(sim, kTimedCommands[command].button, kTimedCommands[command].hexPrefix);
            if (!frame)
                return {};
            latencyUs[command] << double(frame->receivedUs - frame->boundaryUs);
        }
    QJsonObject result{{QStringLiteral("presses"), m_options.presses}};
    for (size_t command = 0; command < std::size(kTimedCommands); ++command) {
        const QString& name = kTimedCommands[command].button;
        const double medianMs = usToMs(Stats::median(latencyUs[command]));
        const double p99Ms = usToMs(Stats::percentile(latencyUs[command], 99));
        addTarget(QStringLiteral("Boundary latency %1, median").arg(name), medianMs, 0.3,
                  QStringLiteral("ms"), 3);
        addTarget(QStringLiteral("Boundary latency %1, p99").arg(name), p99Ms, 1, QStringLiteral("ms"), 3);
        result.insert(
            name, QJsonObject{{QStringLiteral("median_ms"), rounded(medianMs)},
                              {QStringLiteral("p99_ms"), rounded(p99Ms)},
                              {QStringLiteral("max_ms"), rounded(usToMs(Stats::maximum(latencyUs[command])))},
                              {QStringLiteral("samples_us"), roundedArray(latencyUs[command], 0)}});
    }
    return result;
}

QJsonObject BenchRun::measureBoundaryBreakdown(SimChild& windowSim, SimChild& floorSim) {
    StampingClock clock;
    qint64 writeBeganUs = 0, writeReturnedUs = 0;
    const SerialDeviceFactory stampingDevices = [&](int port) -> std::unique_ptr<SerialDevice> {
        return std::make_unique<StampingSerialDevice>(port, PortNames::deviceForPort(port), &writeBeganUs,
                                                      &writeReturnedUs);
    };
    if (!openWindow(windowSim.device(), &clock, stampingDevices))
        return {};

    // Per press: when the new second was seen, when the write began and
    // returned, when the simulator had the frame; all from the boundary.
    QList<double> seenUs, handlerUs, writeUs, seenToReturnedUs, receivedAfterWriteUs, totalUs, sleepEndUs;
    QJsonArray presses;
    for (int press = 0; press < m_options.presses; ++press)
        for (const TimedCommand& command : kTimedCommands) {
            const std::optional<TimedFrame> frame =
                pressTimed(windowSim, command.button, command.hexPrefix, [&] { clock.reset(); });
            if (!frame)
                return {};
            const qint64 boundary = frame->boundaryUs;
            seenUs << double(clock.secondChangeSeenUs() - boundary);
            handlerUs << double(writeBeganUs - clock.secondChangeSeenUs());
            writeUs << double(writeReturnedUs - writeBeganUs);
            seenToReturnedUs << double(writeReturnedUs - clock.secondChangeSeenUs());
            receivedAfterWriteUs << double(frame->receivedUs - writeBeganUs);
            totalUs << double(frame->receivedUs - boundary);
            sleepEndUs << double(clock.lastSleepEndUs() - boundary);
            presses.append(
                QJsonObject{{QStringLiteral("command"), command.button},
                            {QStringLiteral("sleep_end_us"), sleepEndUs.last()},
                            {QStringLiteral("second_seen_us"), seenUs.last()},
                            {QStringLiteral("write_began_us"), double(writeBeganUs - boundary)},
                            {QStringLiteral("write_returned_us"), double(writeReturnedUs - boundary)},
                            {QStringLiteral("received_us"), totalUs.last()}});
        }
    m_window.reset();

    // The floor: the same wait and a bare serial device write a set-time
    // frame made before the boundary, without the window.
    StampingClock floorClock;
    qint64 bareBeganUs = 0, bareReturnedUs = 0;
    const QString floorDevice = floorSim.device();
    SerialPortComponent bare([&](int port) -> std::unique_ptr<SerialDevice> {
        return std::make_unique<StampingSerialDevice>(port, floorDevice, &bareBeganUs, &bareReturnedUs);
    });
    try {
        bare.setPortOpen(true);
    } catch (const RuntimeError& error) {
        fail(QStringLiteral("cannot open the floor simulator: ") + error.description());
        return {};
    }
    QList<double> floorUs, floorWriteBeganUs, floorSeenToReturnedUs;
    for (int press = 0; press < m_options.presses; ++press) {
        pump(randomMs(0, 999));
        floorClock.reset();
        const QDateTime before = floorClock.now();
        const QDateTime expected = before.addMSecs(1000 - before.time().msec());
        const QByteArray frame =
            Frames::setTimeFrame(Frames::setTimeFrameText(expected.date(), expected.time()));
        int secondMarker = 0;
        waitForNextSecond(floorClock, secondMarker);
        bare.Output(frame);
        const std::optional<SimLogLine> received =
            floorSim.next(QStringLiteral("RX"), QStringLiteral("AA00"), 5000);
        const int second = received ? frameSecondOfDay(QStringLiteral("Command1"), received->hex) : -1;
        if (second < 0) {
            fail(QStringLiteral("the simulator logged no frame of the bare write"));
            return {};
        }
        const qint64 boundary = boundaryEpochUs(received->atUs, second);
        floorUs << double(received->atUs - boundary);
        floorWriteBeganUs << double(bareBeganUs - boundary);
        floorSeenToReturnedUs << double(bareReturnedUs - floorClock.secondChangeSeenUs());
    }

    // What the window and its session add between seeing the new second and
    // the write's return, above the bare write's own time.
    const double windowShareUs = Stats::median(seenToReturnedUs) - Stats::median(floorSeenToReturnedUs);
    addTarget(QStringLiteral("Window's share of the boundary latency (second seen to write returned, "
                             "above the bare write), median"),
              windowShareUs, 50, QStringLiteral("us"), 0);
    addInfo(QStringLiteral("  breakdown, median (instrumented seams, all three commands):"), QString());
    addInfo(QStringLiteral("    new second seen after the boundary"),
            QString::number(Stats::median(seenUs), 'f', 0) + QStringLiteral(" us"));
    addInfo(QStringLiteral("    second seen to write call"),
            QString::number(Stats::median(handlerUs), 'f', 0) + QStringLiteral(" us"));
    addInfo(QStringLiteral("    QSerialPort write call (incl. the pty write)"),
            QString::number(Stats::median(writeUs), 'f', 0) + QStringLiteral(" us"));
    addInfo(QStringLiteral("    second seen to write returned: window / bare write"),
            QString::number(Stats::median(seenToReturnedUs), 'f', 0) + QStringLiteral(" / ") +
                QString::number(Stats::median(floorSeenToReturnedUs), 'f', 0) + QStringLiteral(" us"));
    addInfo(QStringLiteral("    write call to simulator RX"),
            QString::number(Stats::median(receivedAfterWriteUs), 'f', 0) + QStringLiteral(" us"));
    addInfo(QStringLiteral("    total (median / p99)"),
            QString::number(Stats::median(totalUs), 'f', 0) + QStringLiteral(" / ") +
                QString::number(Stats::percentile(totalUs, 99), 'f', 0) + QStringLiteral(" us"));
    addInfo(QStringLiteral("  floor: same wait + bare serial write, no window (median / p99)"),
            QString::number(Stats::median(floorUs), 'f', 0) + QStringLiteral(" / ") +
                QString::number(Stats::percentile(floorUs, 99), 'f', 0) + QStringLiteral(" us"));
    return {{QStringLiteral("note"), QStringLiteral("instrumented seams; microseconds from the boundary")},
            {QStringLiteral("second_seen"), latencyFigures(seenUs)},
            {QStringLiteral("handler_to_write"), latencyFigures(handlerUs)},
            {QStringLiteral("write_call"), latencyFigures(writeUs)},
            {QStringLiteral("seen_to_write_returned"), latencyFigures(seenToReturnedUs)},
            {QStringLiteral("write_to_simulator_rx"), latencyFigures(receivedAfterWriteUs)},
            {QStringLiteral("total"), latencyFigures(totalUs)},
            {QStringLiteral("presses"), presses},
            {QStringLiteral("floor_bare_write"), latencyFigures(floorUs)},
            {QStringLiteral("floor_write_began"), latencyFigures(floorWriteBeganUs)},
            {QStringLiteral("floor_seen_to_write_returned"), latencyFigures(floorSeenToReturnedUs)},
            {QStringLiteral("window_share_us"), rounded(windowShareUs, 0)},
            {QStringLiteral("floor_samples_us"), roundedArray(floorUs, 0)}};
}

QJsonObject BenchRun::measureAnswerLatency(SimChild& sim) {
    QAbstractButton* read = button(QStringLiteral("Command6"));
    QList<double> latencyUs;
    for (int run = 0; run < m_options.reads; ++run) {
        pump(randomMs(50, 250));
        const qsizetype messagesBefore = m_dialogs.messages.size();
        read->click();
        const QList<StampedDialogs::Message> raised = m_dialogs.messages.mid(messagesBefore);
        const std::optional<SimLogLine> reply = sim.next(QStringLiteral("TX"), QStringLiteral("BBB"), 5000);
        if (raised.size() != 1 || raised.first().text != QLatin1String("Read success!") || !reply) {
            fail(QStringLiteral("settings read %1 did not succeed (%2)")
                     .arg(run + 1)
                     .arg(raised.isEmpty() ? QStringLiteral("no message") : raised.last().text));
            return {};
        }
        latencyUs << double(raised.first().atUs - reply->atUs);
    }
    const double medianMs = usToMs(Stats::median(latencyUs));
    addTarget(QStringLiteral("Answer latency (reply sent to \"Read success!\"), median"), medianMs, 5,
              QStringLiteral("ms"), 3);
    return {{QStringLiteral("reads"), m_options.reads},
            {QStringLiteral("median_ms"), rounded(medianMs)},
            {QStringLiteral("p99_ms"), rounded(usToMs(Stats::percentile(latencyUs, 99)))},
            {QStringLiteral("max_ms"), rounded(usToMs(Stats::maximum(latencyUs)))},
            {QStringLiteral("samples_us"), roundedArray(latencyUs, 0)}};
}

QJsonObject BenchRun::measureStreamLatency(SimChild& sim) {
    auto* everySecond = m_window->findChild<QAbstractButton*>(QStringLiteral("CheckEverySecond"));
    QAbstractButton* gps = button(QStringLiteral("Command9"));
    if (!everySecond || !gps) {
        fail(QStringLiteral("no CheckEverySecond or Command9 in the window"));
        return {};
    }
    everySecond->setChecked(true);
    pump(randomMs(0, 999));
    gps->click();
    // The stream runs on the window's event loop: let it run and collect
    // the sentences as the simulator logs them.
    QList<double> latencyUs;
    const QDeadlineTimer deadline((m_options.streamSeconds + 3) * 1000);
    while (latencyUs.size() < m_options.streamSeconds && !deadline.hasExpired()) {
        pump(20);
        while (const std::optional<SimLogLine> received =
                   sim.next(QStringLiteral("RX"), QStringLiteral("2447"), 0)) {
            const int second = frameSecondOfDay(QStringLiteral("Command9"), received->hex);
            if (second >= 0)
                latencyUs << double(received->atUs - boundaryEpochUs(received->atUs, second));
        }
    }
    gps->click(); // pressed again: the stream ends
    everySecond->setChecked(false);
    if (latencyUs.size() < m_options.streamSeconds || !m_dialogs.messages.isEmpty()) {
        fail(QStringLiteral("the GPS stream sent %1 of %2 sentences (%3)")
                 .arg(latencyUs.size())
                 .arg(m_options.streamSeconds)
                 .arg(m_dialogs.messages.isEmpty() ? QStringLiteral("no message")
                                                   : m_dialogs.messages.last().text));
        return {};
    }
    const double medianMs = usToMs(Stats::median(latencyUs));
    const double p99Ms = usToMs(Stats::percentile(latencyUs, 99));
    addTarget(
        QStringLiteral("GPS stream (%1 s): boundary latency per sentence, median").arg(latencyUs.size()),
        medianMs, 0.3, QStringLiteral("ms"), 3);
    addTarget(QStringLiteral("GPS stream: boundary latency per sentence, p99"), p99Ms, 1,
              QStringLiteral("ms"), 3);
    return {{QStringLiteral("sentences"), latencyUs.size()},
            {QStringLiteral("median_ms"), rounded(medianMs)},
            {QStringLiteral("p99_ms"), rounded(p99Ms)},
            {QStringLiteral("max_ms"), rounded(usToMs(Stats::maximum(latencyUs)))},
            {QStringLiteral("samples_us"), roundedArray(latencyUs, 0)}};
}

QJsonObject BenchRun::measureAnswerWaitCost(SimChild& windowSim, SimChild& referenceSim) {
    // The reference polls its own port: the window holds its device exclusively.
    const QString referenceDevice = referenceSim.device();
    SerialPortComponent reference(
        [referenceDevice](int port) { return std::make_unique<QtSerialDevice>(port, referenceDevice); });
    try {
        reference.setPortOpen(true);
    } catch (const RuntimeError& error) {
        fail(QStringLiteral("cannot open the reference simulator: ") + error.description());
        return {};
    }
    const QByteArray request("\xBB\xA1", 2);

    QAbstractButton* read = button(QStringLiteral("Command6"));
    QList<double> cpuUs[2], wallUs[2];
    for (int run = 0; run < m_options.silentReads; ++run) {
        pump(300);
        qint64 cpuBefore = BenchClock::processCpuUs();
        qint64 wallBefore = BenchClock::monotonicUs();
        const qsizetype messagesBefore = m_dialogs.messages.size();
        read->click();
        const qint64 wall = BenchClock::monotonicUs() - wallBefore;
        cpuUs[0] << double(BenchClock::processCpuUs() - cpuBefore);
        wallUs[0] << double(wall);
        if (m_dialogs.messages.size() > messagesBefore ||
            !windowSim.next(QStringLiteral("RX"), QStringLiteral("BBA"), 5000)) {
            fail(QStringLiteral("the unanswered settings read did not run as expected"));
            return {};
        }

        // The naive design, for as long as the window's wait lasted.
        pump(300);
        cpuBefore = BenchClock::processCpuUs();
        wallBefore = BenchClock::monotonicUs();
        reference.Input();
        reference.Output(request);
        while (BenchClock::monotonicUs() - wallBefore < wall &&
               reference.InBufferCount() < kSettingsReplyBytes)
            QCoreApplication::processEvents();
        cpuUs[1] << double(BenchClock::processCpuUs() - cpuBefore);
        wallUs[1] << double(BenchClock::monotonicUs() - wallBefore);
    }
    const double share = 100.0 * Stats::sum(cpuUs[0]) / Stats::sum(wallUs[0]);
    const double naiveShare = 100.0 * Stats::sum(cpuUs[1]) / Stats::sum(wallUs[1]);
    addTarget(
        QStringLiteral("Answer wait without answer: CPU of one core (%1 reads)").arg(m_options.silentReads),
        share, 1, QStringLiteral("%"), 3);
    addInfo(QStringLiteral("  wait length median / reference polling CPU"),
            formatMs(usToMs(Stats::median(wallUs[0])), 0) + QStringLiteral(" / ") +
                QString::number(naiveShare, 'f', 1) + QStringLiteral(" % (ratio ") +
                QString::number(naiveShare / share, 'f', 0) + QStringLiteral("x)"));
    const auto design = [&](int index, double cpuShare) {
        return QJsonObject{{QStringLiteral("cpu_share_percent"), rounded(cpuShare, 3)},
                           {QStringLiteral("cpu_ms_total"), rounded(usToMs(Stats::sum(cpuUs[index])))},
                           {QStringLiteral("wall_ms_total"), rounded(usToMs(Stats::sum(wallUs[index])))}};
    };
    return {{QStringLiteral("reads"), m_options.silentReads},
            {QStringLiteral("median_wait_ms"), rounded(usToMs(Stats::median(wallUs[0])), 1)},
            {QStringLiteral("window"), design(0, share)},
            {QStringLiteral("reference_polling"), design(1, naiveShare)},
            {QStringLiteral("ratio_reference_to_window"), rounded(naiveShare / share, 1)}};
}

int BenchRun::exec() {
    const Machine::Description description = Machine::describe();
    const QJsonObject machine = Machine::toJson(description);
    QJsonObject load{{QStringLiteral("loadavg_before"), Machine::loadAverages()},
                     {QStringLiteral("busy_percent_before"), rounded(Machine::busyPercent(1000), 1)}};
    QTextStream(stdout) << "Machine: " << description.cpuModel << ", " << description.cores << " cores, "
                        << description.kernel << ", Qt " << description.qtVersion << Qt::endl
                        << "Load before: " << load.value(QStringLiteral("loadavg_before")).toString()
                        << " (all cores busy " << load.value(QStringLiteral("busy_percent_before")).toDouble()
                        << " %)" << Qt::endl;

    QJsonObject report{{QStringLiteral("machine"), machine},
                       {QStringLiteral("command"), QCoreApplication::arguments().join(QLatin1Char(' '))},
                       {QStringLiteral("started"), QDateTime::currentDateTime().toString(Qt::ISODate)}};
    const auto section = [&](const QString& part, const char* key,
                             const std::function<QJsonObject()>& measure) {
        if (!wanted(part))
            return;
        QTextStream(stdout) << "measuring " << part << " ..." << Qt::endl;
        try {
            const QJsonObject figures = measure();
            if (!figures.isEmpty())
                report.insert(QLatin1String(key), figures);
        } catch (const RuntimeError& error) {
            // The serial component failed outside the window's own handlers.
            fail(part + QStringLiteral(": ") + error.description());
        }
    };

    // Start-up first: the probes must find Com16 free.
    section(QStringLiteral("startup"), "startup", [&] { return measureStartup(); });
    section(QStringLiteral("boundary-wait"), "boundary_wait_cost", [&] { return measureBoundaryWaitCost(); });
    if (wanted(QStringLiteral("boundary")) || wanted(QStringLiteral("answer"))) {
        const std::unique_ptr<SimChild> sim = startSim({});
        if (sim && openWindow(sim->device())) {
            section(QStringLiteral("boundary"), "boundary_latency",
                    [&] { return measureBoundaryLatency(*sim); });
            section(QStringLiteral("answer"), "answer_latency", [&] { return measureAnswerLatency(*sim); });
        }
        m_window.reset();
    }
    if (wanted(QStringLiteral("stream"))) {
        const std::unique_ptr<SimChild> sim = startSim({});
        if (sim && openWindow(sim->device()))
            section(QStringLiteral("stream"), "stream_latency", [&] { return measureStreamLatency(*sim); });
        m_window.reset();
    }
    if (wanted(QStringLiteral("breakdown"))) {
        const std::unique_ptr<SimChild> sim = startSim({});
        const std::unique_ptr<SimChild> floorSim = startSim({});
        if (sim && floorSim)
            section(QStringLiteral("breakdown"), "boundary_breakdown",
                    [&] { return measureBoundaryBreakdown(*sim, *floorSim); });
        m_window.reset();
    }
    if (wanted(QStringLiteral("answer-wait"))) {
        const std::unique_ptr<SimChild> silent = startSim({QStringLiteral("--silent")});
        const std::unique_ptr<SimChild> referenceSilent = startSim({QStringLiteral("--silent")});
        if (silent && referenceSilent && openWindow(silent->device()))
            section(QStringLiteral("answer-wait"), "answer_wait_cost",
                    [&] { return measureAnswerWaitCost(*silent, *referenceSilent); });
        m_window.reset();
    }

    load.insert(QStringLiteral("loadavg_after"), Machine::loadAverages());
    report.insert(QStringLiteral("load"), load);
    report.insert(QStringLiteral("targets"), m_targets);
    report.insert(QStringLiteral("errors"), QJsonArray::fromStringList(m_errors));
    printTable(machine, load);

    if (!m_options.jsonPath.isEmpty()) {
        QFile file(m_options.jsonPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(QJsonDocument(report).toJson()) < 0) {
            fail(QStringLiteral("cannot write %1: %2").arg(m_options.jsonPath, file.errorString()));
        }
    }
    return m_errors.isEmpty() ? 0 : 1;
}

void BenchRun::printTable(const QJsonObject& machine, const QJsonObject& load) const {
    QTextStream out(stdout);
    qsizetype widths[3] = {11, 5, 6};
    for (const Row& row : m_rows) {
        widths[0] = qMax(widths[0], row.measurement.size());
        widths[1] = qMax(widths[1], row.value.size());
        widths[2] = qMax(widths[2], row.target.size());
    }
    const auto line = [&](const QString& a, const QString& b, const QString& c, const QString& d) {
        out << a.leftJustified(widths[0]) << "  " << b.rightJustified(widths[1]) << "  "
            << c.leftJustified(widths[2]) << "  " << d << '\n';
    };
    out << '\n'
        << "Varo Clock benchmark on " << machine.value(QStringLiteral("cpu_model")).toString() << ", "
        << machine.value(QStringLiteral("cores")).toInt() << " cores, "
        << machine.value(QStringLiteral("kernel")).toString() << '\n'
        << "Load average before " << load.value(QStringLiteral("loadavg_before")).toString() << ", after "
        << load.value(QStringLiteral("loadavg_after")).toString() << "; cores busy before the run "
        << load.value(QStringLiteral("busy_percent_before")).toDouble() << " %\n\n";
    line(QStringLiteral("Measurement"), QStringLiteral("Value"), QStringLiteral("Target"),
         QStringLiteral("Result"));
    for (const Row& row : m_rows)
        line(row.measurement, row.value, row.target, row.verdict);
    for (const QString& error : m_errors)
        out << "ERROR: " << error << '\n';
    out.flush();
}
