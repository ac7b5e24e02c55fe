#include "ProductionSeams.h"

#include "serial/QtSerialDevice.h"

#include <QCoreApplication>

ProductionSeams::ProductionSeams(Dialogs* dialogs) {
    m_seams.serialDevices = QtSerialDevice::factory();
    m_seams.clock = &m_clock;
    m_seams.dialogs = dialogs ? dialogs : &m_dialogs;
#ifdef VARO_TIMEDATED
    m_seams.clockSetter = &m_timedatedClockSetter;
#else
    m_seams.clockSetter = &m_shellClockSetter;
#endif
    m_seams.programFolder = QCoreApplication::applicationDirPath();
}
