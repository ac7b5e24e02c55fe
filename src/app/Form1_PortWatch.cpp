// Ports as operators have them: a typed device, who each port is (entry tool
// tips and the status line) and the list kept up to date as devices are
// plugged in and out.
#include "Form1.h"
#include "WaitCursor.h"
#include "common/RuntimeError.h"
#include "serial/PortCatalog.h"
#include "serial/PortNames.h"
#include "ui_Form1.h"

#include <QAbstractItemView>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QStatusBar>

namespace {
constexpr int kPortWatchIntervalMs = 1000;

QString entryOfPort(int portNumber) {
    return QStringLiteral("Com") + QString::number(portNumber);
}

// Two names of one device, such as a /dev/serial/by-id link and its target.
bool sameDevice(const QString& a, const QString& b) {
    if (a == b)
        return true;
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}
} // namespace

void Form1::SetUpPortWatch() {
    m_portStatus = new QLabel(this);
    m_portStatus->setObjectName(QStringLiteral("PortStatus"));
    statusBar()->addWidget(m_portStatus, 1);
    // The status line comes below the form's client area, not out of it.
    resize(width(), height() + statusBar()->sizeHint().height());
    // ScanPorts opens and closes every port in turn: show the outcome once.
    m_portStatusUpdate.setSingleShot(true);
    m_portStatusUpdate.setInterval(0);
    connect(&m_portStatusUpdate, &QTimer::timeout, this, &Form1::ShowPortStatus);
    for (auto change : {&SerialPortComponent::opened, &SerialPortComponent::closed})
        connect(&MSComm1, change, &m_portStatusUpdate, qOverload<>(&QTimer::start));
    ShowPortStatus();
    if (!m_seams.ports)
        return;

    MSComm1.setNamedDeviceFactory(
        [ports = m_seams.ports](const QString& location) { return ports->deviceAt(location); });
    // The box reports one Enter more than once; one open is meant.
    connect(ui->Combo1->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (!std::exchange(m_typedPortPending, true))
            QMetaObject::invokeMethod(this, &Form1::OpenTypedPort, Qt::QueuedConnection);
    });
    connect(&MSComm1, &SerialPortComponent::lineLost, this, [this] { m_portListStale = true; });
    m_presentDevices = m_seams.ports->presentDevices();
    connect(&m_portWatch, &QTimer::timeout, this, &Form1::WatchPorts);
    m_portWatch.start(kPortWatchIntervalMs);
}

void Form1::OpenTypedPort() {
    m_typedPortPending = false;
    const QString text = ui->Combo1->currentText().trimmed();
    // A port entry is chosen by its own click; anything else but a device
    // name does nothing, and so does Enter while a command holds the line.
    if (m_busy || ui->Combo1->findText(text) >= 0 || !PortNames::isDeviceName(text))
        return;
    // A network port opens while events run: the commands and the port list
    // wait for it.
    const QScopedValueRollback<bool> busy(m_busy, true);
    SetCommandsEnabled(false);
    try {
        const WaitCursor waiting;
        if (MSComm1.PortOpen())
            MSComm1.setPortOpen(false);
        MSComm1.setDeviceName(text);
        MSComm1.setPortOpen(true);
    } catch (const RuntimeError& error) {
        ShowPortError(error);
    }
    SetCommandsEnabled(true);
}

void Form1::WatchPorts() {
    // Never under a command: what changed meanwhile shows after it.
    if (m_busy || m_updatingPortList)
        return;
    const QStringList present = m_seams.ports->presentDevices();
    if (present != m_presentDevices) {
        for (const QString& device : present)
            m_deviceAppeared = m_deviceAppeared || !m_presentDevices.contains(device);
        m_presentDevices = present;
        m_portListStale = true;
    }
    // Nor under the operator's hands in the list.
    const bool editing = ui->Combo1->lineEdit()->hasFocus() && ui->Combo1->lineEdit()->isModified();
    if (!m_portListStale || editing || ui->Combo1->view()->isVisible())
        return;
    const QScopedValueRollback<bool> updating(m_updatingPortList, true);
    m_portListStale = false;
    // With no port open, a new device is taken as at start-up; an open port
    // stays open as long as it is there.
    if (!MSComm1.PortOpen() && std::exchange(m_deviceAppeared, false))
        ScanPorts();
    else
        RefreshPortList();
    m_deviceAppeared = false;
}

void Form1::RefreshPortList() {
    const bool open = MSComm1.PortOpen();
    const QString openDevice = open ? OpenDeviceLocation() : QString();
    ui->Combo1->clear();
    for (int port = PortNames::kFirstPort; port <= PortNames::kLastPort; ++port) {
        const bool isOpenPort = open && sameDevice(m_seams.ports->locationOfPort(port), openDevice);
        if (isOpenPort || IsUsablePort(port))
            ui->Combo1->addItem(entryOfPort(port));
    }
    ui->Combo1->addItem(QStringLiteral("Search"));
    ShowPortIdentities();
    if (open && MSComm1.DeviceName().isEmpty())
        ui->Combo1->setCurrentIndex(ui->Combo1->findText(entryOfPort(MSComm1.CommPort())));
    else if (open)
        ui->Combo1->setEditText(MSComm1.DeviceName());
    else
        ui->Combo1->setCurrentIndex(-1);
}

bool Form1::IsUsablePort(int portNumber) const {
    // A device of its own, so that the open port is not disturbed.
    try {
        const std::unique_ptr<SerialDevice> device = m_seams.serialDevices(portNumber);
        device->open(*LineSettings::parse(MSComm1.Settings()));
        device->close();
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

void Form1::ShowPortIdentities() {
    if (!m_seams.ports)
        return;
    QList<int> entries;
    QStringList locations;
    for (int i = 0; i < ui->Combo1->count(); ++i) {
        bool numbered = false;
        const int port = ui->Combo1->itemText(i).mid(3).toInt(&numbered);
        if (numbered) {
            entries << i;
            locations << m_seams.ports->locationOfPort(port);
        }
    }
    if (locations.isEmpty())
        return;
    const QList<PortIdentity> identities = m_seams.ports->identify(locations);
    for (int k = 0; k < entries.size(); ++k)
        ui->Combo1->setItemData(entries[k], identities[k].toolTip(), Qt::ToolTipRole);
}

void Form1::ShowPortStatus() {
    if (!MSComm1.PortOpen()) {
        m_portStatus->setText(QStringLiteral("No port open"));
        m_portStatus->setToolTip(QString());
        return;
    }
    PortIdentity identity;
    identity.location = OpenDeviceLocation();
    if (m_seams.ports)
        identity = m_seams.ports->identify({identity.location}).first();
    const QString named = MSComm1.DeviceName().isEmpty() ? PortLabel() + QStringLiteral(": ") : QString();
    m_portStatus->setText(named + identity.summary());
    m_portStatus->setToolTip(identity.toolTip());
}

QString Form1::PortLabel() const {
    return MSComm1.DeviceName().isEmpty() ? entryOfPort(MSComm1.CommPort()) : MSComm1.DeviceName();
}

QString Form1::OpenDeviceLocation() const {
    if (!MSComm1.DeviceName().isEmpty())
        return MSComm1.DeviceName();
    return m_seams.ports ? m_seams.ports->locationOfPort(MSComm1.CommPort())
                         : PortNames::deviceForPort(MSComm1.CommPort());
}
