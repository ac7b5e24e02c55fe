#include "FrameRecordPanel.h"

#include "Dialogs.h"
#include "Form1.h"
#include "common/RegularFile.h"
#include "common/RuntimeError.h"
#include "protocol/FrameRecord.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

FrameRecordPanel::FrameRecordPanel(const FrameRecord& record, Dialogs& dialogs, const QString& folder,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window), m_record(record), m_dialogs(dialogs), m_folder(folder),
      m_text(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("FrameRecordPanel"));
    setWindowTitle(QStringLiteral("通信记录 - Varo Clock"));
    m_text->setObjectName(QStringLiteral("RecordText"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setMaximumBlockCount(FrameRecord::kKeptLines);
    m_text->setPlainText(record.lines().join(QLatin1Char('\n')));
    // Opened at the newest line, from where it follows the new ones.
    m_text->moveCursor(QTextCursor::End);

    auto* copy = new QPushButton(QStringLiteral("复制全部"), this);
    copy->setObjectName(QStringLiteral("CopyRecord"));
    auto* save = new QPushButton(QStringLiteral("另存为..."), this);
    save->setObjectName(QStringLiteral("SaveRecord"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copy);
    buttons->addWidget(save);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);

    connect(copy, &QPushButton::clicked, this, &FrameRecordPanel::CopyRecord);
    connect(save, &QPushButton::clicked, this, &FrameRecordPanel::SaveRecord);
    connect(&record, &FrameRecord::added, this, &FrameRecordPanel::AddLine);
    resize(640, 400);
}

void FrameRecordPanel::AddLine(const QString& line) {
    // Scrolled to the bottom, the panel follows new lines; scrolled up, it
    // stays where the operator is reading.
    QScrollBar* scroll = m_text->verticalScrollBar();
    const bool following = scroll->value() == scroll->maximum();
    m_text->appendPlainText(line);
    if (following)
        scroll->setValue(scroll->maximum());
}

void FrameRecordPanel::CopyRecord() {
    QGuiApplication::clipboard()->setText(m_record.lines().join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void FrameRecordPanel::SaveRecord() {
    const QString path =
        m_dialogs.askSaveFileName(this, m_folder, QStringLiteral("文本文件 (*.txt);;所有文件 (*.*)"));
    if (path.isEmpty())
        return;
    try {
        RegularFile::write(path, (m_record.lines().join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    } catch (const RuntimeError& failure) {
        m_dialogs.showMessage(this, failure.description(), Form1::kApplicationTitle, Dialogs::Icon::None);
    }
}
