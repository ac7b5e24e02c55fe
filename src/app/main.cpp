#include "app/Dialogs.h"
#include "app/Form1.h"
#include "protocol/SystemClockSetter.h"
#include "protocol/WallClock.h"
#include "serial/QtSerialDevice.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(Form1::kApplicationTitle);
    QApplication::setApplicationDisplayName(QString());

    SystemWallClock clock;
    WidgetDialogs dialogs;
    ShellClockSetter clockSetter;
    Form1Seams seams;
    seams.serialDevices = QtSerialDevice::factory();
    seams.clock = &clock;
    seams.dialogs = &dialogs;
    seams.clockSetter = &clockSetter;
    seams.programFolder = QCoreApplication::applicationDirPath();

    Form1 window(seams);
    window.show();
    return app.exec();
}
