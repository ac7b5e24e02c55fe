// The GPS receiver that keeps talking: with "每秒发送" ticked, either GPS
// button sends its sentence after every second boundary until the box is
// cleared, the button is pressed again, another command starts, the line
// speed changes or the port closes. A stream that ends of itself clears the
// box and says why in the status line.
#include "Form1.h"
#include "ui_Form1.h"

#include <QLabel>
#include <QStatusBar>

namespace {
QString endText(RmcStream::End why) {
    switch (why) {
    case RmcStream::End::LineTaken:
        return QStringLiteral("another command took the line");
    case RmcStream::End::LineSpeedChanged:
        return QStringLiteral("the line speed changed");
    case RmcStream::End::PortClosed:
        return QStringLiteral("the port closed");
    case RmcStream::End::Failed:
        return QStringLiteral("a sentence could not be sent");
    case RmcStream::End::Done:
    case RmcStream::End::Stopped:
        break;
    }
    return QString();
}
} // namespace

void Form1::SetUpGpsStream() {
    m_gpsStreamStatus = new QLabel(this);
    m_gpsStreamStatus->setObjectName(QStringLiteral("GpsStreamStatus"));
    m_gpsStreamStatus->hide();
    statusBar()->addWidget(m_gpsStreamStatus);
    RmcStream& stream = m_session.gpsStream();
    connect(&stream, &RmcStream::stopped, this, &Form1::ShowGpsStreamEnd);
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
    m_gpsStreamStatus->hide();
    m_session.gpsStream().start(status);
}

void Form1::ShowGpsStreamEnd(RmcStream::End why) {
    const QString text = endText(why);
    if (text.isEmpty())
        return;
    ui->CheckEverySecond->setChecked(false);
    m_gpsStreamStatus->setText(QStringLiteral("每秒发送 stopped: ") + text);
    m_gpsStreamStatus->show();
}

void Form1::StopGpsStream() {
    m_session.gpsStream().stop();
}

void Form1::ShowGpsSentence(const QString& text, const QString& checksum) {
    ui->Label2->setText(text);
    ui->Label3->setText(QStringLiteral("Checksum = ") + checksum);
}
