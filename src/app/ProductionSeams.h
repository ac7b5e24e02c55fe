#pragma once

#include "Dialogs.h"
#include "Form1.h"
#include "protocol/ComputerClockSetter.h"
#include "protocol/SystemClockReader.h"
#include "protocol/WallClock.h"
#include "serial/SystemPortCatalog.h"

// The window's seams as the program runs for real: the serial ports of this
// computer, its clock, the system's clock setter (systemd-timedated where
// there is one) and reader of the clock's state, and real dialogs.
class ProductionSeams {
public:
    // `dialogs` replaces the real message boxes and file dialogs when given.
    explicit ProductionSeams(Dialogs* dialogs = nullptr);
    const Form1Seams& seams() const { return m_seams; }

private:
    SystemWallClock m_clock;
    WidgetDialogs m_dialogs;
    ComputerClockSetter m_clockSetter{m_clock};
    SystemClockReader m_clockReader;
    SystemPortCatalog m_ports;
    Form1Seams m_seams;
};
