#include "Form1.h"

#include "Dialogs.h"
#include "RuntimeError.h"
#include "protocol/AnswerWait.h"
#include "protocol/WallClock.h"
#include "schedule/FormDefaults.h"
#include "schedule/ScheduleCheckBox.h"
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
    Load();
    Timer1.start();
}

Form1::~Form1() = default;

void Form1::ConnectHandlers() {
    connect(&Timer1, &QTimer::timeout, this, &Form1::ShowLiveClock);
    connect(ui->Exit, &QAction::triggered, this, &QWidget::close);
    connect(ui->About, &QAction::triggered, this, &Form1::ShowAbout);
    const std::pair<QAction*, QString> speeds[] = {{ui->B4800, QStringLiteral("4800,n,8,1")},
                                                   {ui->B9600, QStringLiteral("9600,n,8,1")},
                                                   {ui->B19200, QStringLiteral("19200,n,8,1")},
                                                   {ui->B38400, QStringLiteral("38400,n,8,1")}};
    for (const auto& [item, settings] : speeds)
        connect(item, &QAction::triggered, this, [this, settings = settings] { SelectLineSpeed(settings); });
    connect(ui->Combo1, qOverload<int>(&QComboBox::activated), this, [this] { OpenChosenPort(); });

    connect(ui->Command1, &QPushButton::clicked, this, &Form1::SetClockToComputerTime);
    connect(ui->Command2, &QPushButton::clicked, this, &Form1::SetClockToTypedTime);
    connect(ui->Command3, &QPushButton::clicked, this, &Form1::StartTemporaryCountdown);
    connect(ui->Command4, &QPushButton::clicked, this, &Form1::LoadSettingsFile);
    connect(ui->Command5, &QPushButton::clicked, this, &Form1::SaveSettingsFile);
    connect(ui->Command6, &QPushButton::clicked, this, &Form1::ReadClockSettings);
    connect(ui->Command7, &QPushButton::clicked, this, &Form1::WriteClockSettings);
    connect(ui->Command8, &QPushButton::clicked, this, &Form1::SyncComputerClock);
    connect(ui->Command9, &QPushButton::clicked, this, [this] { SendSimulatedRmc('A'); });
    connect(ui->Command10, &QPushButton::clicked, this, [this] { SendSimulatedRmc('V'); });
    for (int i = 0; i < kGroupCount; ++i)
        connect(m_rows[i].staticFlag, &ScheduleCheckBox::changedByMouse, this,
                [this, row = i + 1](CheckState previous) { ApplyStaticRule(row, previous); });
}

void Form1::Load() {
    setWindowTitle(QStringLiteral("Varo Clock - ") + MSComm1.Settings());
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
                                 QStringLiteral("Version: 2.0.1304\r\n\r\nVaro Clock project\r\n\r\n"
                                                "https://varo-clock.example.org"),
                                 kApplicationTitle, Dialogs::Icon::None);
}

void Form1::ShowMessage(const QString& text) {
    m_seams.dialogs->showMessage(this, text, kApplicationTitle, Dialogs::Icon::None);
}

void Form1::ShowErrorReport(const RuntimeError& error) {
    ShowMessage(QStringLiteral("Writing Error ") + QString::number(error.number()) + QLatin1Char(':') +
                error.description());
}

void Form1::ShowPortError(const RuntimeError& error) {
    m_seams.dialogs->showMessage(this,
                                 QString::number(error.number()) + QStringLiteral(": ") + error.description(),
                                 QStringLiteral("Prompt"), Dialogs::Icon::Information);
}

void Form1::RunCommand(const std::function<void()>& body) {
    // While a command waits for the master clock, the other commands, the
    // port list and the line-speed menu stay disabled, so nothing can replace
    // the shared buffers under it.
    if (m_busy)
        return;
    m_busy = true;
    SetCommandsEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        body();
    } catch (const RuntimeError& error) {
        QApplication::restoreOverrideCursor();
        SetCommandsEnabled(true);
        m_busy = false;
        ShowErrorReport(error);
        return;
    }
    QApplication::restoreOverrideCursor();
    SetCommandsEnabled(true);
    m_busy = false;
}

void Form1::SetCommandsEnabled(bool enabled) {
    QPushButton* const commands[] = {ui->Command1, ui->Command2, ui->Command3, ui->Command4, ui->Command5,
                                     ui->Command6, ui->Command7, ui->Command8, ui->Command9, ui->Command10};
    for (QPushButton* command : commands)
        command->setEnabled(enabled);
    ui->Combo1->setEnabled(enabled);
    ui->Baud->menuAction()->setEnabled(enabled);
}

void Form1::closeEvent(QCloseEvent* event) {
    if (m_runningWait)
        m_runningWait->cancel();
    event->accept();
}
