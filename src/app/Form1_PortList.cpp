// The window's port list and line-speed menu.
#include "Form1.h"
#include "common/RuntimeError.h"
#include "serial/PortNames.h"
#include "serial/PortProbe.h"
#include "ui_Form1.h"

void Form1::ScanPorts() {
    try {
        ui->Combo1->clear();
        for (int port = PortNames::kFirstPort; port <= PortNames::kLastPort; ++port)
            ProbePort(port);
        ui->Combo1->addItem(QStringLiteral("Search"));
        ShowPortIdentities();
        // The last port found is selected and opened; none found leaves the
        // selection empty and the port closed.
        ui->Combo1->setCurrentIndex(ui->Combo1->count() - 2);
        if (ui->Combo1->currentIndex() >= 0)
            OpenChosenPort();
    } catch (const RuntimeError& error) {
        ShowPortError(error);
    }
}

void Form1::ProbePort(int portNumber) {
    if (PortProbe::opens(MSComm1, portNumber))
        ui->Combo1->addItem(QStringLiteral("Com") + QString::number(portNumber));
}

void Form1::OpenChosenPort() {
    try {
        const QString text = ui->Combo1->currentText();
        bool numeric = false;
        const int portNumber = text.mid(3, 2).trimmed().toInt(&numeric);
        if (numeric)
            m_portKeeper.open(PortChoice::listed(portNumber));
        else if (text.left(6) == QLatin1String("Search"))
            ScanPorts();
    } catch (const RuntimeError& error) {
        ShowPortError(error);
    }
}

void Form1::SelectLineSpeed(const QString& settingsText) {
    m_session.gpsStream().stop(RmcStream::End::LineSpeedChanged);
    const bool wasOpen = MSComm1.PortOpen();
    if (wasOpen)
        MSComm1.setPortOpen(false);
    MSComm1.setSettings(settingsText);
    ShowLineSettings();
    if (!wasOpen)
        return;
    try {
        MSComm1.setPortOpen(true);
    } catch (const RuntimeError& error) {
        ShowPortError(error);
    }
}

void Form1::ShowLineSettings() {
    setWindowTitle(QStringLiteral("Varo Clock - ") + MSComm1.Settings());
    for (const LineSpeedItem& speed : m_lineSpeedItems)
        speed.item->setChecked(MSComm1.Settings() == speed.settings);
}
