#pragma once

#include <QApplication>

// The wait cursor for as long as the window itself waits (for a second
// boundary, an answer or the clock setter), never while a dialog waits for
// the operator.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};
