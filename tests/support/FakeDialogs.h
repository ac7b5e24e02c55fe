#pragma once

#include "app/Dialogs.h"

#include <QList>
#include <QStringList>

// Records every message box instead of showing it and answers the file
// dialogs from a queue; an empty queue answers like a cancelled dialog.
class FakeDialogs : public Dialogs {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon;
    };

    void showMessage(QWidget*, const QString& text, const QString& title, Icon icon) override {
        messages.append({text, title, icon});
    }
    QString askOpenFileName(QWidget*, const QString& folder, const QString& filter) override {
        lastFolder = folder;
        lastFilter = filter;
        return nextOpenFileNames.isEmpty() ? QString() : nextOpenFileNames.takeFirst();
    }
    QString askSaveFileName(QWidget*, const QString& folder, const QString& filter) override {
        lastFolder = folder;
        lastFilter = filter;
        return nextSaveFileNames.isEmpty() ? QString() : nextSaveFileNames.takeFirst();
    }

    QStringList texts() const {
        QStringList all;
        for (const Message& m : messages)
            all << m.text;
        return all;
    }

    QList<Message> messages;
    QStringList nextOpenFileNames;
    QStringList nextSaveFileNames;
    QString lastFolder;
    QString lastFilter;
};
