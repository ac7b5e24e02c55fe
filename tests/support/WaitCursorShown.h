#pragma once

#include <QApplication>

// Whether the program shows the wait cursor now. Programs without a window
// (the command line) have no cursor.
inline bool waitCursorShown() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) && QApplication::overrideCursor() &&
           QApplication::overrideCursor()->shape() == Qt::WaitCursor;
}
