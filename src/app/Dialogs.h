#pragma once

#include <QString>

class QWidget;

// Message boxes and file dialogs, the window's only modal steps. Tests put a
// recorder in their place that answers without showing anything.
class Dialogs {
public:
    enum class Icon { None, Information };

    virtual ~Dialogs() = default;
    virtual void showMessage(QWidget* parent, const QString& text, const QString& title, Icon icon) = 0;
    // A question with Yes and No, No by default; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& text, const QString& title) = 0;
    // The chosen file's path, or an empty text when the operator cancelled.
    virtual QString askOpenFileName(QWidget* parent, const QString& folder, const QString& filter) = 0;
    virtual QString askSaveFileName(QWidget* parent, const QString& folder, const QString& filter) = 0;
};

class WidgetDialogs : public Dialogs {
public:
    void showMessage(QWidget* parent, const QString& text, const QString& title, Icon icon) override;
    bool askYesNo(QWidget* parent, const QString& text, const QString& title) override;
    QString askOpenFileName(QWidget* parent, const QString& folder, const QString& filter) override;
    QString askSaveFileName(QWidget* parent, const QString& folder, const QString& filter) override;
};
