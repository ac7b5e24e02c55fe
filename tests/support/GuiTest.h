#pragma once

#include <QObject>

// Base of the tests that drive the window: after each test function it fails
// the test when a message box came up that the test never read.
class GuiTest : public QObject {
    Q_OBJECT
protected slots:
    void cleanup();
};
