#include "Form1Harness.h"

#include "app/ScheduleCheckBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

void Form1Harness::click(const QString& buttonName) const {
    QPushButton* button = find<QPushButton>(buttonName);
    if (!button->isEnabled())
        qFatal("%s is disabled", qPrintable(buttonName));
    QTest::mouseClick(button, Qt::LeftButton);
}

void Form1Harness::trigger(const QString& actionName) const {
    QAction* action = find<QAction>(actionName);
    bool enabled = action->isEnabled();
    for (QObject* holder : action->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(holder))
            enabled = enabled && menu->menuAction()->isEnabled();
    if (!enabled)
        qFatal("%s is disabled", qPrintable(actionName));
    action->trigger();
}

QString Form1Harness::text(const QString& objectName) const {
    QWidget* widget = find(objectName);
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    qFatal("%s has no text", qPrintable(objectName));
}

QLineEdit* Form1Harness::box(const char* column, int row) const {
    return find<QLineEdit>(QStringLiteral("Text%1%2").arg(QLatin1String(column)).arg(row));
}

ScheduleCheckBox* Form1Harness::check(const QString& objectName) const {
    return find<ScheduleCheckBox>(objectName);
}

QStringList Form1Harness::rowsShown() const {
    const auto state = [this](const QString& name) {
        return int(find<ScheduleCheckBox>(name)->state());
    };
    QStringList rows;
    for (int row = 1; row <= 8; ++row) {
        const auto* length = find<QLineEdit>(QStringLiteral("Text3%1").arg(row));
        rows << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                    .arg(state(QStringLiteral("Check%1").arg(row)))
                    .arg(text(QStringLiteral("Text2%1").arg(row)), length->text(),
                         text(QStringLiteral("Text4%1").arg(row)))
                    .arg(state(QStringLiteral("Check1%1").arg(row)))
                    .arg(state(QStringLiteral("Check4%1").arg(row)))
                    .arg(int(!length->isHidden()));
    }
    return rows;
}
