// Ports as operators have them: a typed device, who each port is (entry tool
// tips and the status line) and the list kept up to date as devices are
// plugged in and out.
#include "Form1.h"
#include "StatusLineStyle.h"
#include "WaitCursor.h"
#include "common/RuntimeError.h"
#include "protocol/CommandTexts.h"
#include "serial/NetworkPortAddress.h"
#include "serial/PortCatalog.h"
#include "serial/PortNames.h"
#include "session/PortWatch.h"
#include "ui_Form1.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>

void Form1::SetUpPortWatch() {
    m_portStatus = new QLabel(this);
    m_portStatus->setObjectName(QStringLiteral("PortStatus"));
    // A long identity gives way to the clocks' texts on its right; the tool tip holds it all.
    m_portStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(m_portStatus, 1);
    // The status line comes below the form's client area, not out of it.
    resize(width(), height() + statusBar()->sizeHint().height());
    // ScanPorts opens and closes every port in turn: show the outcome once.
    m_portStatusUpdate.setSingleShot(true);
    m_portStatusUpdate.setInterval(0);
    connect(&m_portStatusUpdate, &QTimer::timeout, this, &Form1::ShowPortStatus);
    for (auto change : {&SerialPortComponent::opened, &SerialPortComponent::closed})
        connect(&MSComm1, change, &m_portStatusUpdate, qOverload<>(&QTimer::start));
    // A lost port says why, on the status line and in the frame record,
    // until it opens again.
    connect(&m_portKeeper, &PortKeeper::lost, this, [this](const RuntimeError& error) {
        m_portLoss = CommandTexts::portError(error);
        m_record->addEvent(QStringLiteral("lost"), m_session.portLabel(),
                           LineSettings::parse(MSComm1.Settings())->baudRate, m_portLoss);
    });
    connect(&m_portKeeper, &PortKeeper::opened, this, [this](const QString& description) {
        if (std::exchange(m_portLoss, QString()).isEmpty())
            return;
        m_record->addEvent(QStringLiteral("opened"), m_session.portLabel(),
                           LineSettings::parse(MSComm1.Settings())->baudRate, description);
    });
    ShowPortStatus();
    if (!m_seams.ports)
        return;

    // The box reports one Enter more than once; one open is meant.
    connect(ui->Combo1->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (!std::exchange(m_typedPortPending, true))
            QMetaObject::invokeMethod(this, &Form1::OpenTypedPort, Qt::QueuedConnection);
    });
    m_portWatch = new PortWatch(m_session, *m_seams.ports, m_seams.serialDevices, this);
    // Not under the operator's hands in the list.
    m_portWatch->setMayUpdate([this] {
        const bool editing = ui->Combo1->lineEdit()->hasFocus() && ui->Combo1->lineEdit()->isModified();
        return !editing && !ui->Combo1->view()->isVisible();
    });
    // A lost port is opened again when its device is back.
    m_portKeeper.setWatch(m_portWatch);
    connect(m_portWatch, &PortWatch::rescanWanted, this, &Form1::ScanPorts);
    connect(m_portWatch, &PortWatch::refreshWanted, this, &Form1::RefreshPortList);
    m_portWatch->start();
}

void Form1::OpenTypedPort() {
    m_typedPortPending = false;
    const QString text = ui->Combo1->currentText().trimmed();
    // A network port that names no port, or one out of range, is told why.
    if (NetworkPortAddress::isNetworkForm(text) && !NetworkPortAddress::parse(text))
        return ShowPortError(RuntimeError(ErrorNumber::InvalidPortNumber,
                                          text + QLatin1Char(' ') + PortChoice::refusal(text)));
    // A port entry is chosen by its own click; anything else but a device
    // name does nothing, and so does Enter while a command holds the line.
    if (ui->Combo1->findText(text) >= 0 || !PortNames::isDeviceName(text))
        return;
    // A network port opens while events run: it holds the line meanwhile, so
    // that the commands and the port list wait for it.
    std::optional<RuntimeError> failure;
    {
        const std::optional<Hold> hold = m_session.holdLine();
        if (!hold)
            return;
        try {
            const WaitCursor waiting;
            m_portKeeper.open(PortChoice::named(text));
        } catch (const RuntimeError& error) {
            failure = error;
        }
    }
    if (failure) {
        // The port that was open still is, and the box says so again.
        ShowOpenPortInList();
        ShowPortError(*failure);
    }
}

void Form1::RefreshPortList() {
    ui->Combo1->clear();
    for (const int port : m_portWatch->listedPorts())
        ui->Combo1->addItem(PortChoice::listed(port).name());
    ui->Combo1->addItem(QStringLiteral("Search"));
    ShowPortIdentities();
    ShowOpenPortInList();
}

void Form1::ShowOpenPortInList() {
    if (MSComm1.PortOpen() && MSComm1.DeviceName().isEmpty())
        ui->Combo1->setCurrentIndex(ui->Combo1->findText(m_session.portLabel()));
    else if (MSComm1.PortOpen())
        ui->Combo1->setEditText(MSComm1.DeviceName());
    else
        ui->Combo1->setCurrentIndex(-1);
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
    m_portStatus->setStyleSheet(m_portLoss.isEmpty() ? QString() : StatusLineStyle::kAlert);
    if (!MSComm1.PortOpen()) {
        const QString lost = QStringLiteral("Port lost: %1; it opens again when it is back").arg(m_portLoss);
        m_portStatus->setText(m_portLoss.isEmpty() ? QStringLiteral("No port open") : lost);
        m_portStatus->setToolTip(m_portLoss.isEmpty() ? QString() : lost);
        return;
    }
    PortIdentity identity;
    identity.location = m_session.openLocation();
    if (m_seams.ports)
        identity = m_seams.ports->identify({identity.location}).first();
    const QString named =
        MSComm1.DeviceName().isEmpty() ? m_session.portLabel() + QStringLiteral(": ") : QString();
    m_portStatus->setText(named + identity.summary());
    m_portStatus->setToolTip(identity.toolTip());
}
