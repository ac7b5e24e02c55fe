// Setting the computer's clock from the master clock's own time frame.
#include "Dialogs.h"
#include "Form1.h"
#include "WaitCursor.h"
#include "protocol/CommandTexts.h"
#include "session/ClockCommand.h"
#include "ui_Form1.h"

void Form1::SyncComputerClock() {
    RunCommand([this](const Hold& hold) {
        ui->Label2->clear();
        ui->Label3->clear();
        StepRule rule;
        // A large step is the operator's to allow.
        rule.approve = [this](qint64 offsetUs) {
            const OperatorsTurn asking;
            return m_seams.dialogs->askYesNo(this, CommandTexts::stepQuestion(offsetUs), kApplicationTitle);
        };
        const ClockRequest request = ClockRequest::syncComputer(*m_seams.clockSetter, rule);
        const ClockOutcome outcome = [this, &hold, &request] {
            const WaitCursor waiting;
            return m_session.run(request, hold);
        }();
        // The operator closed the window while the clock was being set.
        if (m_closing)
            return;
        switch (outcome.status) {
        case ClockOutcome::Status::Done:
            return ShowMessage((QStringList{ClockCommands::of(request.kind).doneText} + outcome.warnings)
                                   .join(QStringLiteral("\r\n\r\n")));
        case ClockOutcome::Status::Failed:
        case ClockOutcome::Status::InvalidAnswer:
        case ClockOutcome::Status::ClockNotSet:
            throw *outcome.error;
        case ClockOutcome::Status::NoAnswer:
        case ClockOutcome::Status::ForeignAnswer:
        case ClockOutcome::Status::ShortAnswer:
        case ClockOutcome::Status::StepRefused:
        case ClockOutcome::Status::Cancelled:
            // No frame, one that is no time frame, or a step the operator
            // did not allow: the command ends silently.
            return;
        }
    });
}
