// Setting the computer's clock from the master clock's own time frame.
#include "Form1.h"
#include "WaitCursor.h"
#include "protocol/CommandTexts.h"
#include "ui_Form1.h"

void Form1::SyncComputerClock() {
    RunCommand([this](const Hold& hold) {
        ui->Label2->clear();
        ui->Label3->clear();
        const ClockOutcome outcome = [this, &hold] {
            const WaitCursor waiting;
            return m_session.syncComputerClock(*m_seams.clockSetter, hold);
        }();
        // The operator closed the window while the clock was being set.
        if (m_closing)
            return;
        switch (outcome.status) {
        case ClockOutcome::Status::Done:
            return ShowMessage(CommandTexts::kSynchronizeSuccess);
        case ClockOutcome::Status::Failed:
        case ClockOutcome::Status::InvalidAnswer:
        case ClockOutcome::Status::ClockNotSet:
            throw *outcome.error;
        default:
            // No frame, or one that is no time frame: the command ends silently.
            return;
        }
    });
}
