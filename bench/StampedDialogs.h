#pragma once

#include "BenchClock.h"
#include "app/Dialogs.h"

#include <QList>

// Records every message box with the epoch time at which the window raised
// it, instead of showing it; questions are answered No and file dialogs as if
// cancelled.
class StampedDialogs : public Dialogs {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon;
        qint64 atUs;
    };

    void showMessage(QWidget*, const QString& text, const QString& title, Icon icon) override {
        // Stamp first, so the figure does not include the recording itself.
        const qint64 atUs = BenchClock::epochUs();
        messages.append({text, title, icon, atUs});
    }
    bool askYesNo(QWidget*, const QString&, const QString&) override { return false; }
    QString askOpenFileName(QWidget*, const QString&, const QString&) override { return {}; }
    QString askSaveFileName(QWidget*, const QString&, const QString&) override { return {}; }

    QList<Message> messages;
};
