// The GPS receiver that keeps talking: with "每秒发送" ticked, either GPS
// button sends its sentence after every second boundary until the box is
// cleared, the button is pressed again, another command starts or the port
// closes.
#include "Form1.h"
#include "common/RuntimeError.h"
#include "ui_Form1.h"

void Form1::ConnectGpsStream() {
    connect(&m_gpsStream, &RmcStream::sent, this, &Form1::ShowGpsSentence);
    connect(&m_gpsStream, &RmcStream::failed, this, &Form1::ShowErrorReport);
    connect(ui->CheckEverySecond, &QCheckBox::toggled, this, [this](bool ticked) {
        if (!ticked)
            StopGpsStream();
    });
}

void Form1::PressGpsButton(char status) {
    if (m_gpsStream.isRunning()) {
        const bool pressedAgain = m_gpsStream.status() == status;
        StopGpsStream();
        if (pressedAgain)
            return;
    }
    if (ui->CheckEverySecond->isChecked())
        StartGpsStream(status);
    else
        SendSimulatedRmc(status);
}

void Form1::StartGpsStream(char status) {
    // Between sentences the window stays responsive; a closed port is
    // reported by the first sentence's write.
    m_gpsStream.start(status);
}

void Form1::StopGpsStream() {
    m_gpsStream.stop();
}

void Form1::ShowGpsSentence(const RmcSentence& sentence) {
    m_values.frameText = sentence.text;
    m_values.frameBuffer = sentence.bytes;
    ui->Label2->setText(sentence.text);
    ui->Label3->setText(QStringLiteral("Checksum = ") + sentence.checksum);
}
