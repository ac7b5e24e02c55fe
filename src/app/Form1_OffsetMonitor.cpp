// The master clock's offset, live: between commands the session reads the
// time frames the master clock sends of its own accord, and the status line
// shows its time of day and how far it is from the computer's clock.
#include "Form1.h"
#include "StatusLineStyle.h"
#include "schedule/TimeText.h"

#include <QLabel>
#include <QStatusBar>

namespace {
constexpr int kOffsetAgeLimitMs = 5000;

// "+1.5", "-0.3": seconds with one decimal.
QString secondsText(qint64 microseconds) {
    const qint64 tenths =
        microseconds >= 0 ? (microseconds + 50'000) / 100'000 : -((-microseconds + 50'000) / 100'000);
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
        m_clockOffset->setStyleSheet(StatusLineStyle::kGrey);
        m_clockOffset->setProperty("stale", true);
    });
    connect(&m_session, &ClockSession::timeFrameSeen, this, &Form1::ShowClockOffset);
}

void Form1::ShowClockOffset(const TimeFrameMonitor::Sighting& sighting) {
    m_clockOffset->setText(QStringLiteral("Master clock %1, offset %2 s")
                               .arg(TimeText::format(sighting.clockTime), secondsText(sighting.offsetUs)));
    m_clockOffset->setStyleSheet(QString());
    m_clockOffset->setProperty("stale", false);
    m_offsetAge.start(kOffsetAgeLimitMs);
}
