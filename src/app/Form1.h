#pragma once

#include "protocol/FrameRecord.h"
#include "schedule/GroupRow.h"
#include "serial/SerialPortComponent.h"
#include "session/ClockSession.h"
#include "session/PortKeeper.h"

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class FrameRecordPanel;
class PortCatalog;
class PortWatch;
class QAction;
class QLabel;
class QPushButton;
class ComputerClockReader;
class Dialogs;
class QLineEdit;
class RuntimeError;
class ScheduleCheckBox;
class SystemClockSetter;
class WallClock;

namespace Ui {
class Form1;
}

// Everything the window talks to outside itself.
struct Form1Seams {
    SerialDeviceFactory serialDevices;
    WallClock* clock = nullptr;
    Dialogs* dialogs = nullptr;
    SystemClockSetter* clockSetter = nullptr;
    QString programFolder; // where the file dialogs start
    // Typed ports, who each port is, plug and unplug; without it the window
    // knows the numbered ports only.
    PortCatalog* ports = nullptr;
    QString recordFolder;                       // where the daily frame record files go; empty: none
    ComputerClockReader* clockReader = nullptr; // whether the computer's clock is synchronized
};

// The one window of the program. It owns the serial port, its clock session
// and the schedule widgets; each command handler turns widgets into a request
// to the session and its outcome into widgets and boxes, under one error trap
// that ends with the common error report.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(const Form1Seams& seams, QWidget* parent = nullptr);
    ~Form1() override;

    static const QString kApplicationTitle;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The widgets of one schedule row.
    struct RowWidgets {
        ScheduleCheckBox* valid;
        QLineEdit* start;
        QLineEdit* length;
        QLineEdit* refresh;
        ScheduleCheckBox* staticFlag;
        ScheduleCheckBox* ignoreHours;
    };

    // A line-speed menu item and the settings text it selects.
    struct LineSpeedItem {
        QAction* item;
        QString settings;
    };
    // A command button and its click handler; the same list enables and
    // disables them while a command waits.
    struct CommandButton {
        QPushButton* button;
        std::function<void()> handler;
    };
    // The line-speed menu, one item for each speed the master clock runs at.
    void AddLineSpeedItems();
    std::vector<CommandButton> CommandButtons();

    // Shell (start-up, live clock, About, error reports).
    void Load();
    void ConnectHandlers();
    void ShowLiveClock();
    void ShowAbout();
    void ShowMessage(const QString& text);
    void ShowErrorReport(const RuntimeError& error);
    void ShowPortError(const RuntimeError& error);
    using Hold = ClockSession::LineHold;
    void RunCommand(const std::function<void(const Hold&)>& body);
    // Runs an exchange with the wait cursor up; a run-time failure raises its error.
    ClockOutcome RunExchange(const ClockRequest& request, const Hold& hold,
                             const ClockSession::Written& written = {});
    // A command that needs nothing of the window but its frame shown: the
    // frame in Label2 (Label3 cleared), its success said, a failure reported.
    void RunClockCommand(const ClockRequest& request);
    void SetCommandsEnabled(bool enabled);

    // Port list and line speed.
    void ScanPorts();
    void ProbePort(int portNumber);
    void OpenChosenPort();
    void SelectLineSpeed(const QString& settingsText);
    void ShowLineSettings(); // caption and check marks

    // Typed ports, port identities and plug and unplug.
    void SetUpPortWatch();
    void OpenTypedPort();
    void RefreshPortList();
    void ShowOpenPortInList();
    void ShowPortIdentities();
    void ShowPortStatus();

    // Frame record.
    void SetUpFrameRecord();
    void RecordFrame(FrameRecord::Direction direction, const QByteArray& bytes);
    void ShowFrameRecord();

    // The master clock's offset.
    void SetUpOffsetMonitor();
    void ShowClockOffset(const TimeFrameMonitor::Sighting& sighting);

    // The computer clock's state, the reference the master clock is set from.
    void SetUpComputerClockState();
    void ShowComputerClockState();

    // Clock commands.
    void SetClockToComputerTime();
    void SetClockToTypedTime();
    void ShowSetTimeFrame(const ClockOutcome& outcome);
    void StartTemporaryCountdown();
    void SyncComputerClock();
    void WriteClockSettings();
    void ReadClockSettings();
    void SendSimulatedRmc(char status);
    void ShowReplyRows(const ClockOutcome& outcome);

    // The GPS receiver that keeps talking.
    void SetUpGpsStream();
    void PressGpsButton(char status);
    void StartGpsStream(char status);
    void StopGpsStream();
    void ShowGpsStreamEnd(RmcStream::End why);
    void ShowGpsSentence(const QString& text, const QString& checksum);

    // Schedule.
    int ClockListIndex() const;
    GroupRow ReadRow(int row) const;
    void ShowRow(int row, const GroupRow& content);
    void RecomputeStartTimes();
    void ApplyStaticRule(int row, CheckState previous);

    // Settings file.
    void SaveSettingsFile();
    void LoadSettingsFile();

    std::unique_ptr<Ui::Form1> ui;
    Form1Seams m_seams;
    SerialPortComponent MSComm1;
    ClockSession m_session{MSComm1, *m_seams.clock, m_seams.ports};
    PortKeeper m_portKeeper{m_session, PortKeeper::Mode::Follow, m_seams.ports};
    QTimer Timer1;
    std::array<RowWidgets, kGroupCount> m_rows{};
    std::vector<LineSpeedItem> m_lineSpeedItems;
    QString m_fileDialogFolder; // InitDir of the file dialogs
    bool m_closing = false;     // closed by the operator; nothing more to report

    // Plug and unplug.
    PortWatch* m_portWatch = nullptr;
    bool m_typedPortPending = false;
    QTimer m_portStatusUpdate;
    QLabel* m_portStatus = nullptr;
    QString m_portLoss; // why the port was lost, until it opens again

    std::unique_ptr<FrameRecord> m_record;
    FrameRecordPanel* m_recordPanel = nullptr;
    QLabel* m_recordStatus = nullptr;

    QLabel* m_gpsStreamStatus = nullptr;

    QTimer m_offsetAge; // runs out when no time frame came for a while
    QLabel* m_clockOffset = nullptr;

    QTimer m_computerClockRefresh;
    QLabel* m_computerClockState = nullptr;
};
