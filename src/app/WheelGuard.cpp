#include "WheelGuard.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

void WheelGuard::protect(QWidget* window) {
    auto* guard = new WheelGuard(window);
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        // The scroll bars are what the wheel is meant to move.
        const bool changedByWheel =
            qobject_cast<QComboBox*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) ||
            (qobject_cast<QAbstractSlider*>(widget) && !widget->inherits("QScrollBar"));
        if (!changedByWheel)
            continue;
        widget->setFocusPolicy(Qt::StrongFocus);
        widget->installEventFilter(guard);
    }
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel || static_cast<QWidget*>(watched)->hasFocus())
        return false;
    // The scrolled window takes the wheel instead; without one it is dropped.
    for (QWidget* parent = static_cast<QWidget*>(watched)->parentWidget(); parent;
         parent = parent->parentWidget())
        if (auto* area = qobject_cast<QAbstractScrollArea*>(parent)) {
            QCoreApplication::sendEvent(area->viewport(), event);
            break;
        }
    return true;
}
