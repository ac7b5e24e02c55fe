#pragma once

#include "app/Dialogs.h"

#include <QList>
#include <QStringList>

// Records every message box and question instead of showing it, answers the
// questions and file dialogs from queues; an empty queue answers No, or like a
// cancelled dialog. A
// message counts as read once the test looks at the messages; one that is
// still unread when the fake goes is kept in unreadLeftBehind(), which
// GuiTest's cleanup() checks, as it checks that no dialog came up under the
// wait cursor.
class FakeDialogs : public Dialogs {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon;
    };

    ~FakeDialogs() override;

    void showMessage(QWidget*, const QString& text, const QString& title, Icon icon) override {
        noteWaitCursor(text);
        m_messages.append({text, title, icon});
    }
    bool askYesNo(QWidget*, const QString& text, const QString& title) override {
        noteWaitCursor(text);
        m_messages.append({text, title, Icon::None});
        return !nextAnswers.isEmpty() && nextAnswers.takeFirst();
    }
    QString askOpenFileName(QWidget*, const QString& folder, const QString& filter) override {
        noteWaitCursor(QStringLiteral("open dialog"));
        lastFolder = folder;
        lastFilter = filter;
        return nextOpenFileNames.isEmpty() ? QString() : nextOpenFileNames.takeFirst();
    }
    QString askSaveFileName(QWidget*, const QString& folder, const QString& filter) override {
        noteWaitCursor(QStringLiteral("save dialog"));
        lastFolder = folder;
        lastFilter = filter;
        return nextSaveFileNames.isEmpty() ? QString() : nextSaveFileNames.takeFirst();
    }

    const QList<Message>& messages();
    QStringList texts();
    // Reads the messages so far and forgets them, so the next step's stand alone.
    QStringList takeTexts();

    static QStringList& unreadLeftBehind();
    // Dialogs shown while the wait cursor was up; GuiTest's cleanup() checks
    // that there are none.
    static QStringList& shownUnderWaitCursor();

    QList<bool> nextAnswers; // true: Yes
    QStringList nextOpenFileNames;
    QStringList nextSaveFileNames;
    QString lastFolder;
    QString lastFilter;

private:
    static void noteWaitCursor(const QString& dialog);

    QList<Message> m_messages;
    qsizetype m_read = 0;
};
