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

// The operator's own cursor while a dialog asks him something in the middle of
// a wait; the wait cursor comes back after.
class OperatorsTurn {
public:
    OperatorsTurn() { QApplication::restoreOverrideCursor(); }
    ~OperatorsTurn() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    OperatorsTurn(const OperatorsTurn&) = delete;
    OperatorsTurn& operator=(const OperatorsTurn&) = delete;
};
