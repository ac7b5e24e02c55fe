// Setting the computer's clock from the master clock's own time frame.
#include "Form1.h"
#include "WaitCursor.h"
#include "common/RuntimeError.h"
#include "protocol/CommandTexts.h"
#include "protocol/Frames.h"
#include "protocol/SystemClockSetter.h"
#include "schedule/TimeText.h"
#include "ui_Form1.h"

void Form1::SyncComputerClock() {
    RunCommand([this] {
        ui->Label2->clear();
        ui->Label3->clear();
        // Only a frame that arrives after the press counts.
        m_values.receiveBuffer = MSComm1.Input();
        const QByteArray frame = AwaitAnswer(Frames::Length::ClockTime, Frames::AnswerLimit::ClockTime);
        const std::optional<QString> text = Frames::clockTimeText(frame);
        if (!text)
            return;
        m_values.frameText = *text;
        const QTime time = TimeText::toTime(m_values.frameText);
        m_values.frameText = TimeText::format(time);
        const SystemClockSetter::Result result = [this, &time] {
            const WaitCursor waiting;
            return m_seams.clockSetter->setTimeOfDay(time);
        }();
        // The operator closed the window while the clock was being set.
        if (m_closing)
            return;
        if (!result.ok)
            throw RuntimeError(result.errorNumber, result.reason);
        ShowMessage(CommandTexts::kSynchronizeSuccess);
    });
}
