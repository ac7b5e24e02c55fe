#include "commandline/ClockCli.h"
#include "protocol/ComputerClockSetter.h"
#include "protocol/SystemClockReader.h"
#include "protocol/WallClock.h"
#include "serial/QtSerialDevice.h"
#include "serial/SystemPortCatalog.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varo-clock-cli"));

    SystemWallClock clock;
    ComputerClockSetter clockSetter(clock);
    SystemClockReader clockReader;
    SystemPortCatalog ports;
    QTextStream out(stdout);
    QTextStream err(stderr);
    ClockCli cli({&clock, &clockSetter, QtSerialDevice::factory(), &ports, &out, &err, &clockReader});
    return int(cli.run(QCoreApplication::arguments().mid(1)));
}
