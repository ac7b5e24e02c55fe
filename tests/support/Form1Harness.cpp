#include "Form1Harness.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

void Form1Harness::click(const QString& buttonName) const {
    QPushButton* button = find<QPushButton>(buttonName);
    if (!button->isEnabled())
        qFatal("%s is disabled", qPrintable(buttonName));
    QTest::mouseClick(button, Qt::LeftButton);
}

QString Form1Harness::text(const QString& objectName) const {
    QWidget* widget = find(objectName);
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    qFatal("%s has no text", qPrintable(objectName));
}
