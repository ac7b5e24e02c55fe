// The record of every frame on the line, its panel and its daily file.
#include "Dialogs.h"
#include "Form1.h"
#include "FrameRecordPanel.h"
#include "StatusLineStyle.h"
#include "ui_Form1.h"

#include <QLabel>
#include <QStatusBar>

void Form1::SetUpFrameRecord() {
    m_record = std::make_unique<FrameRecord>(*m_seams.clock, m_seams.recordFolder);
    m_recordStatus = new QLabel(this);
    m_recordStatus->setObjectName(QStringLiteral("RecordStatus"));
    m_recordStatus->setStyleSheet(StatusLineStyle::kAlert);
    m_recordStatus->hide();
    statusBar()->addWidget(m_recordStatus, 1);

    connect(&m_session, &ClockSession::frameSent, this,
            [this](const QByteArray& bytes) { RecordFrame(FrameRecord::Direction::Sent, bytes); });
    connect(&m_session, &ClockSession::frameReceived, this,
            [this](const QByteArray& bytes) { RecordFrame(FrameRecord::Direction::Received, bytes); });
    connect(&m_session, &ClockSession::frameFlushed, this,
            [this](const QByteArray& bytes) { RecordFrame(FrameRecord::Direction::Flushed, bytes); });
    // A long reason must not widen the window: the status line cuts it, its
    // tool tip holds it whole.
    m_recordStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    connect(m_record.get(), &FrameRecord::fileFailed, this, [this](const QString& reason) {
        m_recordStatus->setText(QStringLiteral("Frame record not saved to file: ") + reason);
        m_recordStatus->setToolTip(reason);
        m_recordStatus->show();
    });
    connect(m_record.get(), &FrameRecord::fileWrittenAgain, m_recordStatus, &QLabel::hide);
    connect(ui->ShowFrameRecord, &QAction::triggered, this, &Form1::ShowFrameRecord);
}

void Form1::RecordFrame(FrameRecord::Direction direction, const QByteArray& bytes) {
    m_record->add(direction, m_session.portLabel(), LineSettings::parse(MSComm1.Settings())->baudRate, bytes);
}

void Form1::ShowFrameRecord() {
    if (!m_recordPanel) {
        m_recordPanel = new FrameRecordPanel(*m_record, *m_seams.dialogs, m_fileDialogFolder, this);
        // Beside the main window, where it hides none of the form.
        m_recordPanel->move(frameGeometry().topRight() + QPoint(8, 0));
    }
    m_recordPanel->show();
    m_recordPanel->raise();
    m_recordPanel->activateWindow();
}
