#include "ProductionSeams.h"

#include "serial/QtSerialDevice.h"

#include <QCoreApplication>
#include <QStandardPaths>

ProductionSeams::ProductionSeams(Dialogs* dialogs) {
    m_seams.serialDevices = QtSerialDevice::factory();
    m_seams.clock = &m_clock;
    m_seams.dialogs = dialogs ? dialogs : &m_dialogs;
    m_seams.clockSetter = &m_clockSetter;
    m_seams.clockReader = &m_clockReader;
    m_seams.ports = &m_ports;
    m_seams.recordFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    m_seams.programFolder = QCoreApplication::applicationDirPath();
}
