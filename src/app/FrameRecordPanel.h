#pragma once

#include <QWidget>

class Dialogs;
class FrameRecord;
class QPlainTextEdit;

// The frame record on screen, in a window of its own beside the main window:
// the last 10,000 lines of this run, new ones added as they come, to be
// copied or saved as a text file.
class FrameRecordPanel : public QWidget {
    Q_OBJECT
public:
    FrameRecordPanel(const FrameRecord& record, Dialogs& dialogs, const QString& folder, QWidget* parent);

private:
    void AddLine(const QString& line);
    void CopyRecord();
    void SaveRecord();

    const FrameRecord& m_record;
    Dialogs& m_dialogs;
    QString m_folder;
    QPlainTextEdit* m_text;
};
