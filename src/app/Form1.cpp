// The window itself: its construction and wiring, start-up, the live clock,
// About, the common error report and the trap every command runs under.
#include "Form1.h"

#include "Dialogs.h"
#include "ScheduleCheckBox.h"
#include "VaroVersion.h"
#include "WaitCursor.h"
#include "WheelGuard.h"
#include "common/RuntimeError.h"
#include "protocol/CommandTexts.h"
#include "protocol/WallClock.h"
#include "schedule/FormDefaults.h"
#include "serial/LineSpeeds.h"
#include "session/ClockCommand.h"
#include "ui_Form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>

const QString Form1::kApplicationTitle = QStringLiteral("Varo_Clock");

namespace {
constexpr int kLiveClockIntervalMs = 500;
}

Form1::Form1(const Form1Seams& seams, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::Form1>()), m_seams(seams), MSComm1(seams.serialDevices) {
    ui->setupUi(this);
    AddLineSpeedItems();
    WheelGuard::protect(this);
    // The form's client area is 568 x 647 pixels below the menu bar.
    resize(width(), height() + menuBar()->sizeHint().height());
    for (int i = 0; i < kGroupCount; ++i) {
        const int row = i + 1;
        m_rows[i] = {findChild<ScheduleCheckBox*>(QStringLiteral("Check%1").arg(row)),
                     findChild<QLineEdit*>(QStringLiteral("Text2%1").arg(row)),
                     findChild<QLineEdit*>(QStringLiteral("Text3%1").arg(row)),
                     findChild<QLineEdit*>(QStringLiteral("Text4%1").arg(row)),
                     findChild<ScheduleCheckBox*>(QStringLiteral("Check1%1").arg(row)),
                     findChild<ScheduleCheckBox*>(QStringLiteral("Check4%1").arg(row))};
    }
    const GroupRows defaults = formDefaultRows();
    for (int row = 1; row <= kGroupCount; ++row) {
        ShowRow(row, defaults[row - 1]);
        m_rows[row - 1].start->setText(defaults[row - 1].StartTime);
    }
    ui->Combo2->setEditText(QStringLiteral("倒计时钟1"));

    Timer1.setInterval(kLiveClockIntervalMs);
    ConnectHandlers();
    SetUpPortWatch();
    SetUpGpsStream();
    SetUpFrameRecord();
    SetUpOffsetMonitor();
    SetUpComputerClockState();
    Load();
    Timer1.start();
}

Form1::~Form1() = default;

void Form1::AddLineSpeedItems() {
    for (const int speed : LineSpeeds::all()) {
        QAction* item = ui->Baud->addAction(QStringLiteral("&") + QString::number(speed));
        item->setObjectName(QStringLiteral("B") + QString::number(speed));
        item->setCheckable(true);
        m_lineSpeedItems.push_back({item, LineSpeeds::settingsText(speed)});
    }
}

std::vector<Form1::CommandButton> Form1::CommandButtons() {
    return {{ui->Command1,
             [this] {
                 SetClockToComputerTime();
             }},
            {ui->Command2,
             [this] {
                 SetClockToTypedTime();
             }},
            {ui->Command3,
             [this] {
                 StartTemporaryCountdown();
             }},
            {ui->Command4,
             [this] {
                 LoadSettingsFile();
             }},
            {ui->Command5,
             [this] {
                 SaveSettingsFile();
             }},
            {ui->Command6,
             [this] {
                 ReadClockSettings();
             }},
            {ui->Command7,
             [this] {
                 WriteClockSettings();
             }},
            {ui->Command8,
             [this] {
                 SyncComputerClock();
             }},
            {ui->Command9,
             [this] {
                 PressGpsButton('A');
             }},
            {ui->Command10, [this] {
                 PressGpsButton('V');
             }}};
}

void Form1::ConnectHandlers() {
    connect(&Timer1, &QTimer::timeout, this, &Form1::ShowLiveClock);
    connect(ui->Exit, &QAction::triggered, this, &QWidget::close);
    connect(ui->About, &QAction::triggered, this, &Form1::ShowAbout);
    for (const LineSpeedItem& speed : m_lineSpeedItems)
        connect(speed.item, &QAction::triggered, this,
                [this, settings = speed.settings] { SelectLineSpeed(settings); });
    connect(ui->Combo1, qOverload<int>(&QComboBox::activated), this, [this] { OpenChosenPort(); });
    connect(&m_session, &ClockSession::lineHeldChanged, this,
            [this](bool held) { SetCommandsEnabled(!held); });
    // A port whose device went away is no longer shown as the chosen one.
    connect(&MSComm1, &SerialPortComponent::lineLost, this, [this] { ui->Combo1->setCurrentIndex(-1); });

    for (const CommandButton& command : CommandButtons())
        connect(command.button, &QPushButton::clicked, this, command.handler);
    for (int i = 0; i < kGroupCount; ++i)
        connect(m_rows[i].staticFlag, &ScheduleCheckBox::changedByMouse, this,
                [this, row = i + 1](CheckState previous) { ApplyStaticRule(row, previous); });
}

void Form1::Load() {
    ShowLineSettings();
    m_fileDialogFolder = m_seams.programFolder;
    ui->Combo2->setCurrentIndex(0);
    ScanPorts();
    RecomputeStartTimes();
}

void Form1::ShowLiveClock() {
    ui->Label1->setText(m_seams.clock->now().time().toString(QStringLiteral("HH:mm:ss")));
}

void Form1::ShowAbout() {
    m_seams.dialogs->showMessage(this,
                                 QStringLiteral("Version: " VARO_VERSION "\r\n\r\nVaro Clock project\r\n\r\n"
                                                "https://varo-clock.example.org"),
                                 kApplicationTitle, Dialogs::Icon::None);
}

void Form1::ShowMessage(const QString& text) {
    m_seams.dialogs->showMessage(this, text, kApplicationTitle, Dialogs::Icon::None);
}

void Form1::ShowErrorReport(const RuntimeError& error) {
    ShowMessage(CommandTexts::errorReport(error));
}

void Form1::ShowPortError(const RuntimeError& error) {
    m_seams.dialogs->showMessage(this, CommandTexts::portError(error), QStringLiteral("Prompt"),
                                 Dialogs::Icon::Information);
}

void Form1::RunCommand(const std::function<void(const Hold&)>& body) {
    // While a command holds the line, the other commands, the port list and
    // the line-speed menu stay disabled (the session says so), and any
    // command ends a running GPS stream.
    std::optional<RuntimeError> failure;
    {
        const std::optional<Hold> hold = m_session.holdLine();
        if (!hold)
            return;
        try {
            body(*hold);
        } catch (const RuntimeError& error) {
            failure = error;
        }
    }
    if (failure)
        ShowErrorReport(*failure);
}

ClockOutcome Form1::RunExchange(const ClockRequest& request, const Hold& hold,
                                const ClockSession::Written& written) {
    const WaitCursor waiting;
    ClockOutcome outcome = m_session.run(request, hold, written);
    if (outcome.status == ClockOutcome::Status::Failed)
        throw *outcome.error;
    return outcome;
}

void Form1::RunClockCommand(const ClockRequest& request) {
    RunCommand([this, &request](const Hold& hold) {
        const ClockCommand& command = ClockCommands::of(request.kind);
        const ClockOutcome outcome = RunExchange(request, hold, [this, &command](const ClockOutcome& sent) {
            ui->Label2->setText(command.frameShown(sent.sent));
            ui->Label3->clear();
        });
        // A missing or foreign answer ends the command silently.
        if (outcome.done() && !command.doneText.isEmpty())
            ShowMessage(command.doneText);
        if (outcome.error && outcome.status != ClockOutcome::Status::Failed)
            throw *outcome.error;
    });
}

void Form1::SetCommandsEnabled(bool enabled) {
    for (const CommandButton& command : CommandButtons())
        command.button->setEnabled(enabled);
    ui->Combo1->setEnabled(enabled);
    ui->Baud->menuAction()->setEnabled(enabled);
}

void Form1::closeEvent(QCloseEvent* event) {
    m_closing = true;
    m_session.cancel();
    event->accept();
}
