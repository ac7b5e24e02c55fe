// The master clock's offset, live: between commands the window reads the
// time frames the master clock sends of its own accord and shows its time of
// day and how far it is from the computer's clock.
#include "Form1.h"
#include "protocol/WallClock.h"
#include "schedule/TimeText.h"

#include <QLabel>
#include <QStatusBar>

namespace {
constexpr int kOffsetAgeLimitMs = 5000;
const QString kStaleStyle = QStringLiteral("color: rgb(128, 128, 128);");

// "+1.5", "-0.3": seconds with one decimal.
QString secondsText(qint64 milliseconds) {
    const qint64 tenths = milliseconds >= 0 ? (milliseconds + 50) / 100 : -((-milliseconds + 50) / 100);
    return (tenths >= 0 ? QStringLiteral("+") : QStringLiteral("-")) +
           QString::number(qAbs(tenths) / 10.0, 'f', 1);
}
} // namespace

void Form1::SetUpOffsetMonitor() {
    m_clockOffset = new QLabel(this);
    m_clockOffset->setObjectName(QStringLiteral("ClockOffset"));
    statusBar()->addPermanentWidget(m_clockOffset);
    m_offsetAge.setSingleShot(true);
    connect(&m_offsetAge, &QTimer::timeout, this, [this] {
        m_clockOffset->setStyleSheet(kStaleStyle);
        m_clockOffset->setProperty("stale", true);
    });
    connect(&MSComm1, &SerialPortComponent::readyRead, this, &Form1::ReadClockTimeFrames);
    // What a command leaves waiting, or what came while it held the line,
    // arrived at no time the monitor knows.
    const auto lineUsedByCommand = [this] {
        if (m_busy)
            m_lineUsedByCommand = true;
    };
    connect(&MSComm1, &SerialPortComponent::written, this, lineUsedByCommand);
    connect(&MSComm1, &SerialPortComponent::taken, this, lineUsedByCommand);
    connect(&MSComm1, &SerialPortComponent::opened, this, [this] { m_timeFrames.reset(); });
}

void Form1::ReadClockTimeFrames() {
    // A command flushes and reads the line itself; the monitor never takes
    // bytes from under it.
    if (m_busy) {
        m_lineUsedByCommand = true;
        return;
    }
    if (!MSComm1.PortOpen())
        return;
    const QDateTime arrival = m_seams.clock->now();
    const QByteArray bytes = MSComm1.Input();
    if (std::exchange(m_lineUsedByCommand, false)) {
        m_timeFrames.reset();
        return;
    }
    const std::optional<TimeFrameMonitor::Sighting> sighting =
        m_timeFrames.feed(bytes, arrival, *LineSettings::parse(MSComm1.Settings()));
    if (!sighting)
        return;
    m_clockOffset->setText(QStringLiteral("Master clock %1, offset %2 s")
                               .arg(TimeText::format(sighting->clockTime), secondsText(sighting->offsetMs)));
    m_clockOffset->setStyleSheet(QString());
    m_clockOffset->setProperty("stale", false);
    m_offsetAge.start(kOffsetAgeLimitMs);
}
