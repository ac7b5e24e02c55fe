#pragma once

#include "FakeClock.h"
#include "FakeClockReader.h"
#include "FakeClockSetter.h"
#include "FakeDialogs.h"
#include "FakeSerial.h"
#include "GuiTest.h"
#include "KnownBytes.h"
#include "app/Form1.h"

#include <QAction>
#include <QTest>
#include <memory>

class QLineEdit;
class ScheduleCheckBox;

// A window wired to fakes: declared serial ports, a clock the test sets, a
// message recorder, a clock-setter recorder and a clock state. Widgets are
// found by their object names, as an operator finds them by their captions.
class Form1Harness {
public:
    // Declare ports before start(); the window scans them at start-up.
    FakeSerialBank serial;
    FakeClock clock;
    FakeDialogs dialogs;
    FakeClockSetter clockSetter;
    FakeClockReader clockReader;
    // The clock setter the window is given: the fake, unless a test of a real
    // setter puts that here before start().
    SystemClockSetter* clockSetterInUse = &clockSetter;

    // recordFolder: where the daily frame record files go; empty: none.
    Form1& start(const QString& programFolder = QString(), const QString& recordFolder = QString()) {
        Form1Seams seams;
        seams.serialDevices = serial.factory();
        seams.clock = &clock;
        seams.dialogs = &dialogs;
        seams.clockSetter = clockSetterInUse;
        seams.programFolder = programFolder;
        seams.ports = &serial;
        seams.recordFolder = recordFolder;
        seams.clockReader = &clockReader;
        window = std::make_unique<Form1>(seams);
        return *window;
    }

    // Starts with the given port usable, so that the window opens it.
    Form1& startWithPort(int portNumber = 1) {
        serial.setPort(portNumber, FakeSerialBank::Port::Usable);
        return start();
    }

    // A row's text box by column ("2" start, "3" length, "4" refresh) and row 1..8.
    QLineEdit* box(const char* column, int row) const;
    ScheduleCheckBox* check(const QString& objectName) const;

    // Each row as "valid start length refresh static ignore-hours length-shown",
    // check states as 0, 1 or 2.
    QStringList rowsShown() const;

    template <typename T = QWidget> T* find(const QString& objectName) const {
        T* found = window->findChild<T*>(objectName);
        if (!found)
            qFatal("no widget or item named %s", qPrintable(objectName));
        return found;
    }
    void click(const QString& buttonName) const;
    // Triggers a menu item as the operator does; a disabled item, or one in a
    // disabled menu, fails the test.
    void trigger(const QString& actionName) const;
    QString text(const QString& objectName) const;

    std::unique_ptr<Form1> window;
};
