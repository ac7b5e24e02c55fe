// Writing the schedule into the master clock and reading it back.
#include "Dialogs.h"
#include "Form1.h"
#include "common/RuntimeError.h"
#include "protocol/CommandTexts.h"
#include "protocol/Frames.h"
#include "schedule/GroupRecord.h"
#include "schedule/TimeText.h"
#include "ui_Form1.h"

#include <QLineEdit>

void Form1::WriteClockSettings() {
    RunCommand([this] {
        ui->Label2->clear();
        ui->Label3->clear();
        // A late answer to an earlier command must not pass for this one.
        m_values.receiveBuffer = MSComm1.Input();
        const int clockIndex = ClockListIndex();
        // With no countdown clock chosen, fail before any box is rewritten.
        Frames::clockByte(Frames::ClockBase::Write, clockIndex);

        QByteArray records;
        for (int row = 1; row <= kGroupCount; ++row) {
            const RowWidgets& widgets = m_rows[row - 1];
            const QTime refresh = TimeText::toTime(widgets.refresh->text());
            m_values.frameText = TimeText::format(refresh);
            widgets.refresh->setText(m_values.frameText);
            const QTime length = TimeText::toTime(widgets.length->text());
            m_values.frameText = TimeText::format(length);
            widgets.length->setText(m_values.frameText);
            records += GroupRecord::encode(refresh, length, widgets.valid->state(),
                                           widgets.staticFlag->state(), widgets.ignoreHours->state());
        }
        m_values.frameBuffer = Frames::writeFrame(clockIndex, records);
        MSComm1.Output(m_values.frameBuffer);
        const auto [firstLine, secondLine] = Frames::writeFrameLines(m_values.frameBuffer);
        ui->Label2->setText(firstLine);
        ui->Label3->setText(secondLine);

        const QByteArray answer = AwaitAnswer(Frames::Length::Settings, Frames::AnswerLimit::Settings,
                                              AnswerWait::LeadingTimeFrames::Skip);
        const std::optional<int> answeredClock =
            Frames::answeredClockIndex(answer, Frames::Code::WriteSettings, Frames::ClockBase::WriteReply);
        if (!answeredClock)
            return;
        ShowReplyRows(answer, *answeredClock);
        ShowMessage(CommandTexts::kWriteSuccess);
    });
}

void Form1::ReadClockSettings() {
    RunCommand([this] {
        ui->Label2->clear();
        ui->Label3->clear();
        m_values.receiveBuffer = MSComm1.Input();
        m_values.frameBuffer = Frames::readRequest(ClockListIndex());
        MSComm1.Output(m_values.frameBuffer);
        ui->Label2->setText(Frames::hexText(m_values.frameBuffer));
        ui->Label3->clear();

        const QByteArray answer = AwaitAnswer(Frames::Length::Settings, Frames::AnswerLimit::Settings,
                                              AnswerWait::LeadingTimeFrames::Skip);
        const std::optional<int> answeredClock =
            Frames::answeredClockIndex(answer, Frames::Code::ReadSettings, Frames::ClockBase::SettingsReply);
        if (!answeredClock)
            return;
        ShowReplyRows(answer, *answeredClock);
        ShowMessage(CommandTexts::kReadSuccess);
    });
}

void Form1::ShowReplyRows(const QByteArray& answer, int clockListIndex) {
    const GroupRows rows = Frames::replyRows(answer);
    ui->Combo2->setCurrentIndex(clockListIndex);
    for (int row = 1; row <= kGroupCount; ++row)
        ShowRow(row, rows[row - 1]);
    RecomputeStartTimes();
}
