// Setting the computer's clock from the master clock's own time frame.
#include "Frames.h"
#include "SystemClockSetter.h"
#include "app/Form1.h"
#include "app/RuntimeError.h"
#include "schedule/TimeText.h"
#include "ui_Form1.h"

namespace {
constexpr int kTimeFrameLimitSeconds = 3;
}

void Form1::SyncComputerClock() {
    RunCommand([this] {
        ui->Label2->clear();
        ui->Label3->clear();
        // Only a frame that arrives after the press counts.
        m_values.receiveBuffer = MSComm1.Input();
        const QByteArray frame = AwaitAnswer(Frames::Length::ClockTime, kTimeFrameLimitSeconds);
        if (frame.size() != Frames::Length::ClockTime || quint8(frame[1]) != 0x00 ||
            quint8(frame[0]) != Frames::Code::SetTime)
            return;
        // Each BCD byte written in hexadecimal reads as its decimal digits; a
        // byte that is not BCD gives a text that is not a time.
        const auto field = [&frame](int i) {
            return QString::number(quint8(frame[i]), 16).toUpper();
        };
        m_values.frameText = field(6) + QLatin1Char(':') + field(7) + QLatin1Char(':') + field(8);
        const QTime time = TimeText::toTime(m_values.frameText);
        m_values.frameText = TimeText::format(time);
        const SystemClockSetter::Result result = m_seams.clockSetter->setTimeOfDay(time);
        if (!result.ok)
            throw RuntimeError(result.errorNumber, result.reason);
        ShowMessage(QStringLiteral("Synchronize success!"));
    });
}
