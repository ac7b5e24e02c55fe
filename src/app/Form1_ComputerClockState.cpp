// The computer clock's state beside the master clock's offset: the clock the
// master clock is set from, and whether a time service keeps it right.
#include "Form1.h"
#include "StatusLineStyle.h"
#include "protocol/ComputerClockReader.h"
#include "protocol/ComputerClockStateText.h"

#include <QLabel>
#include <QStatusBar>

namespace {
// A read is one system call: cheap enough to repeat often, without blocking.
constexpr int kComputerClockRefreshMs = 3000;
} // namespace

void Form1::SetUpComputerClockState() {
    m_computerClockState = new QLabel(this);
    m_computerClockState->setObjectName(QStringLiteral("ComputerClockState"));
    statusBar()->addPermanentWidget(m_computerClockState);
    connect(&m_computerClockRefresh, &QTimer::timeout, this, &Form1::ShowComputerClockState);
    m_computerClockRefresh.start(kComputerClockRefreshMs);
    ShowComputerClockState();
}

void Form1::ShowComputerClockState() {
    const ComputerClockState state = m_seams.clockReader->read();
    m_computerClockState->setText(ComputerClockStateText::summary(state));
    m_computerClockState->setToolTip(ComputerClockStateText::account(state));
    switch (state.sync) {
    case ComputerClockState::Sync::Synchronized:
        return m_computerClockState->setStyleSheet(QString());
    case ComputerClockState::Sync::Unsynchronized:
        return m_computerClockState->setStyleSheet(StatusLineStyle::kAlert);
    case ComputerClockState::Sync::Unknown:
        return m_computerClockState->setStyleSheet(StatusLineStyle::kGrey);
    }
}
