// The GPS receiver that keeps talking: with "每秒发送" ticked, either GPS
// button sends its sentence after every second boundary until the box is
// cleared, the button is pressed again, another command starts or the port
// closes.
#include "Form1.h"
#include "ui_Form1.h"

void Form1::ConnectGpsStream() {
    RmcStream& stream = m_session.gpsStream();
    connect(&stream, &RmcStream::sent, this,
            [this](const RmcSentence& sentence) { ShowGpsSentence(sentence.text, sentence.checksum); });
    connect(&stream, &RmcStream::failed, this, &Form1::ShowErrorReport);
    connect(ui->CheckEverySecond, &QCheckBox::toggled, this, [this](bool ticked) {
        if (!ticked)
            StopGpsStream();
    });
}

void Form1::PressGpsButton(char status) {
    RmcStream& stream = m_session.gpsStream();
    if (stream.isRunning()) {
        const bool pressedAgain = stream.status() == status;
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
    m_session.gpsStream().start(status);
}

void Form1::StopGpsStream() {
    m_session.gpsStream().stop();
}

void Form1::ShowGpsSentence(const QString& text, const QString& checksum) {
    ui->Label2->setText(text);
    ui->Label3->setText(QStringLiteral("Checksum = ") + checksum);
}
