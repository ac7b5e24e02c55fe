// The commands that put the time of day on the line right after a second
// boundary or at once: set time, temporary countdown and the simulated GPS
// receiver. The frame is written first and shown after.
#include "Form1.h"
#include "protocol/Frames.h"
#include "protocol/WallClock.h"
#include "schedule/TimeText.h"
#include "ui_Form1.h"

void Form1::SetClockToComputerTime() {
    RunCommand([this](const Hold& hold) {
        RunExchange(ClockRequest::setTime(), hold,
                    [this](const ClockOutcome& sent) { ShowSetTimeFrame(sent); });
    });
}

void Form1::SetClockToTypedTime() {
    RunCommand([this](const Hold& hold) {
        const QTime typed = TimeText::toTime(ui->Text1->text());
        ui->Text1->setText(TimeText::format(typed));
        RunExchange(ClockRequest::typedTime(typed), hold,
                    [this](const ClockOutcome& sent) { ShowSetTimeFrame(sent); });
    });
}

void Form1::ShowSetTimeFrame(const ClockOutcome& outcome) {
    ui->Label3->setText(outcome.frameText);
    ui->Label2->setText(Frames::hexText(outcome.sent));
}

void Form1::StartTemporaryCountdown() {
    // A text that does not convert counts down to midnight; the box shows
    // "00:00:00" so the operator sees what was sent.
    const QTime start = TimeText::parse(ui->Text18->text()).value_or(QTime(0, 0));
    ui->Text18->setText(TimeText::format(start));
    RunClockCommand(ClockRequest::countdown(ClockListIndex(), start));
}

void Form1::SendSimulatedRmc(char status) {
    RunCommand([this, status](const Hold& hold) {
        RunExchange(ClockRequest::rmc(status), hold,
                    [this](const ClockOutcome& sent) { ShowGpsSentence(sent.frameText, sent.checksum); });
    });
}
