// Writing the schedule into the master clock and reading it back.
#include "Form1.h"
#include "ScheduleCheckBox.h"
#include "protocol/Frames.h"
#include "schedule/GroupRecord.h"
#include "schedule/TimeText.h"
#include "session/ClockCommand.h"
#include "ui_Form1.h"

#include <QLineEdit>

void Form1::WriteClockSettings() {
    RunCommand([this](const Hold& hold) {
        ui->Label2->clear();
        ui->Label3->clear();
        const int clockIndex = ClockListIndex();
        // The boxes are read once the line is flushed and a countdown clock
        // is known to be chosen.
        const auto records = [this] {
            QByteArray records;
            for (const RowWidgets& widgets : m_rows) {
                const QTime refresh = TimeText::toTime(widgets.refresh->text());
                widgets.refresh->setText(TimeText::format(refresh));
                const QTime length = TimeText::toTime(widgets.length->text());
                widgets.length->setText(TimeText::format(length));
                records += GroupRecord::encode(refresh, length, widgets.valid->state(),
                                               widgets.staticFlag->state(), widgets.ignoreHours->state());
            }
            return records;
        };
        const ClockRequest request = ClockRequest::writeSettings(clockIndex, records);
        const ClockOutcome outcome = RunExchange(request, hold, [this](const ClockOutcome& sent) {
            if (sent.error)
                return;
            const auto [firstLine, secondLine] = Frames::writeFrameLines(sent.sent);
            ui->Label2->setText(firstLine);
            ui->Label3->setText(secondLine);
        });
        ShowReplyRows(outcome);
        if (outcome.done())
            ShowMessage(ClockCommands::of(request.kind).doneText);
    });
}

void Form1::ReadClockSettings() {
    RunCommand([this](const Hold& hold) {
        ui->Label2->clear();
        ui->Label3->clear();
        const ClockRequest request = ClockRequest::readSettings(ClockListIndex());
        const ClockOutcome outcome = RunExchange(request, hold, [this](const ClockOutcome& sent) {
            ui->Label2->setText(Frames::hexText(sent.sent));
        });
        ShowReplyRows(outcome);
        if (outcome.done())
            ShowMessage(ClockCommands::of(request.kind).doneText);
    });
}

void Form1::ShowReplyRows(const ClockOutcome& outcome) {
    // A missing or foreign answer ends the command silently; one cut short
    // changes nothing and is reported.
    if (outcome.status == ClockOutcome::Status::ShortAnswer)
        throw *outcome.error;
    if (!outcome.done())
        return;
    ui->Combo2->setCurrentIndex(outcome.clockIndex);
    for (int row = 1; row <= kGroupCount; ++row)
        ShowRow(row, outcome.rows[row - 1]);
    RecomputeStartTimes();
}
