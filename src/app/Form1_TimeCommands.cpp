// The commands that put the time of day on the line right after a second
// boundary or at once: set time, temporary countdown and the simulated GPS
// receiver.
#include "Form1.h"
#include "WaitCursor.h"
#include "gps/RmcSentence.h"
#include "protocol/Frames.h"
#include "protocol/SecondBoundary.h"
#include "protocol/WallClock.h"
#include "schedule/TimeText.h"
#include "ui_Form1.h"

QDateTime Form1::WaitForNextSecond() {
    const WaitCursor waiting;
    return waitForNextSecond(*m_seams.clock, m_values.secondMarker);
}

void Form1::SetClockToComputerTime() {
    RunCommand([this] {
        const QDateTime now = WaitForNextSecond();
        SendSetTimeFrame(now.date(), now.time());
    });
}

void Form1::SetClockToTypedTime() {
    RunCommand([this] {
        const QTime typed = TimeText::toTime(ui->Text1->text());
        m_values.timeValue = QDateTime(m_seams.clock->now().date(), typed);
        ui->Text1->setText(TimeText::format(typed));
        SendSetTimeFrame(m_seams.clock->now().date(), typed);
    });
}

void Form1::SendSetTimeFrame(const QDate& date, const QTime& time) {
    m_values.frameText = Frames::setTimeFrameText(date, time);
    ui->Label3->setText(m_values.frameText);
    m_values.frameBuffer = Frames::setTimeFrame(m_values.frameText);
    ui->Label2->setText(Frames::hexText(m_values.frameBuffer));
    MSComm1.Output(m_values.frameBuffer);
}

void Form1::StartTemporaryCountdown() {
    RunCommand([this] {
        // A text that does not convert counts down to midnight; the box shows
        // "00:00:00" so the operator sees what was sent. No event runs during
        // the boundary wait, so the text is taken before it: the frame then
        // leaves sooner after the boundary.
        const QTime start = TimeText::parse(ui->Text18->text()).value_or(QTime(0, 0));
        ui->Text18->setText(TimeText::format(start));
        const QDateTime now = WaitForNextSecond();
        const QTime remaining = TimeText::remainingUntil(start, now.time());
        m_values.timeValue = QDateTime(now.date(), remaining);
        m_values.frameText = TimeText::format(remaining);
        m_values.frameBuffer = Frames::countdownFrame(ClockListIndex(), m_values.frameText);
        ui->Label2->setText(Frames::hexText(m_values.frameBuffer));
        ui->Label3->clear();
        MSComm1.Output(m_values.frameBuffer);
    });
}

void Form1::SendSimulatedRmc(char status) {
    RunCommand([this, status] {
        const QDateTime now = WaitForNextSecond();
        const RmcSentence sentence = RmcSentence::build(now.time(), now.date(), status);
        m_values.frameText = sentence.text;
        ui->Label2->setText(sentence.text);
        ui->Label3->clear();
        m_values.frameBuffer = sentence.bytes;
        ui->Label3->setText(QStringLiteral("Checksum = ") + sentence.checksum);
        MSComm1.Output(m_values.frameBuffer);
    });
}
