#include "ServiceStatus.h"

#include "VaroVersion.h"
#include "protocol/ComputerClockStateText.h"
#include "schedule/TimeText.h"

#include <QJsonValue>

namespace {
// Milliseconds to the microsecond.
double millisecondsOf(qint64 microseconds) {
    return double(microseconds) / 1000.0;
}

// One metric with its help and type, then its samples.
class Exposition {
public:
    void metric(const char* name, const char* type, const char* help) {
        m_text += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
    }
    void sample(const QByteArray& nameAndLabels, const QByteArray& value) {
        m_text += nameAndLabels + ' ' + value + '\n';
    }
    void sample(const QByteArray& nameAndLabels, double value) {
        sample(nameAndLabels, QByteArray::number(value, 'g', 12));
    }
    QByteArray text() const { return m_text; }

private:
    QByteArray m_text;
};
} // namespace

QJsonObject ServiceStatus::toJson() const {
    QJsonValue masterClock(QJsonValue::Null);
    if (lastTimeFrame)
        masterClock = QJsonObject{{QStringLiteral("date"), lastTimeFrame->clockDate.toString(Qt::ISODate)},
                                  {QStringLiteral("time"), TimeText::format(lastTimeFrame->clockTime)},
                                  {QStringLiteral("offsetMs"), millisecondsOf(lastTimeFrame->offsetUs)},
                                  {QStringLiteral("lastFrameAgeMs"), lastTimeFrame->ageMs},
                                  {QStringLiteral("frames"), qint64(timeFrames)}};
    return {
        {QStringLiteral("port"), QJsonObject{{QStringLiteral("name"), portName},
                                             {QStringLiteral("device"), device},
                                             {QStringLiteral("open"), portOpen},
                                             {QStringLiteral("baud"), baudRate}}},
        {QStringLiteral("masterClock"), masterClock},
        {QStringLiteral("computerClock"), ComputerClockStateText::toJson(computerClock)},
        {QStringLiteral("lineHeld"), lineHeld},
        {QStringLiteral("version"), QStringLiteral(VARO_VERSION)},
    };
}

QByteArray ServiceStatus::toMetrics() const {
    Exposition out;
    out.metric("varo_clock_offset_seconds", "gauge",
               "How far the master clock is ahead of the computer's clock (negative: behind), by its last "
               "time frame.");
    if (lastTimeFrame)
        out.sample("varo_clock_offset_seconds", double(lastTimeFrame->offsetUs) / 1e6);
    out.metric("varo_clock_last_time_frame_age_seconds", "gauge",
               "Seconds since the master clock's last time frame arrived; +Inf before the first.");
    out.sample("varo_clock_last_time_frame_age_seconds",
               lastTimeFrame ? QByteArray::number(double(lastTimeFrame->ageMs) / 1e3, 'f', 3) : "+Inf");
    out.metric("varo_clock_time_frames_total", "counter", "Time frames read from the master clock.");
    out.sample("varo_clock_time_frames_total", double(timeFrames));
    out.metric("varo_clock_port_open", "gauge", "1 while the service holds its serial port open, else 0.");
    out.sample("varo_clock_port_open", portOpen ? 1.0 : 0.0);
    out.metric("varo_clock_computer_clock_synchronized", "gauge",
               "1 while a time service keeps the computer's clock synchronized, 0 when it does not; absent "
               "when the system does not tell.");
    if (computerClock.sync != ComputerClockState::Sync::Unknown)
        out.sample("varo_clock_computer_clock_synchronized",
                   computerClock.sync == ComputerClockState::Sync::Synchronized ? 1.0 : 0.0);
    out.metric("varo_clock_computer_clock_max_error_seconds", "gauge",
               "The kernel's bound on the computer clock's error; absent when unknown.");
    if (computerClock.maxErrorMs)
        out.sample("varo_clock_computer_clock_max_error_seconds", *computerClock.maxErrorMs / 1e3);
    out.metric("varo_clock_commands_total", "counter",
               "Commands run on the master clock, by command and outcome.");
    for (auto count = commands.begin(); count != commands.end(); ++count)
        out.sample(QStringLiteral("varo_clock_commands_total{command=\"%1\",outcome=\"%2\"}")
                       .arg(count.key().first, count.key().second)
                       .toLatin1(),
                   double(count.value()));
    out.metric("varo_clock_corrections_total", "counter",
               "Times the service set the master clock by itself, its offset beyond --correct-above.");
    out.sample("varo_clock_corrections_total", double(corrections));
    out.metric("varo_clock_correction_failures_total", "counter",
               "Corrections the master clock did not take: the time frame after the set-time was still "
               "beyond --correct-above, or none came.");
    out.sample("varo_clock_correction_failures_total", double(correctionFailures));
    out.metric("varo_clock_correction_refusals_total", "counter",
               "Corrections due but held back, once for each run of time frames beyond --correct-above, by "
               "reason.");
    for (auto count = correctionRefusals.begin(); count != correctionRefusals.end(); ++count)
        out.sample(
            QStringLiteral("varo_clock_correction_refusals_total{reason=\"%1\"}").arg(count.key()).toLatin1(),
            double(count.value()));
    out.metric("varo_clock_build_info", "gauge", "The service's version, as a label; always 1.");
    out.sample("varo_clock_build_info{version=\"" VARO_VERSION "\"}", 1.0);
    return out.text();
}
