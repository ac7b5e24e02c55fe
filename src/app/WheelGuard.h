#pragma once

#include <QObject>

class QWidget;

// Keeps the mouse wheel from changing a widget the pointer merely passes
// over: a combo box (or any other widget the wheel would change) takes wheel
// events only while it has the keyboard focus; otherwise they go on to the
// scrolled window around it. The wheel no longer gives such widgets the focus.
class WheelGuard : public QObject {
    Q_OBJECT
public:
    // Guards every combo box, spin box and slider inside `window`.
    static void protect(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};
