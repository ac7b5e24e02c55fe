// Saving the schedule to a settings file and loading it again.
#include "Dialogs.h"
#include "Form1.h"
#include "common/RuntimeError.h"
#include "settings_file/SettingsFile.h"
#include "settings_file/SettingsFileStore.h"
#include "ui_Form1.h"

namespace {
const QString kFileTypes = QStringLiteral("时钟设置文件(*.txt)");
}

void Form1::SaveSettingsFile() {
    RunCommand([this](const Hold&) {
        // A cancelled dialog yields no name; an earlier file is never reused.
        const QString path = m_seams.dialogs->askSaveFileName(this, m_fileDialogFolder, kFileTypes);
        if (path.isEmpty()) {
            ShowMessage(SettingsFile::kNoFileName);
            return;
        }
        GroupRows rows;
        for (int row = 1; row <= kGroupCount; ++row)
            rows[row - 1] = ReadRow(row);
        const QByteArray bytes = SettingsFile::write(ClockListIndex() + 1, rows);

        try {
            SettingsFileStore::save(path, bytes);
        } catch (const RuntimeError& failure) {
            // A folder, a device or a FIFO chosen as the file counts as no
            // file name; the operator is told what it is.
            if (failure.number() != ErrorNumber::PathFileAccessError)
                throw;
            ShowMessage(SettingsFile::kNoFileName + QStringLiteral("\r\n") + failure.description());
        }
    });
}

void Form1::LoadSettingsFile() {
    RunCommand([this](const Hold&) {
        const QString path = m_seams.dialogs->askOpenFileName(this, m_fileDialogFolder, kFileTypes);
        if (path.isEmpty()) {
            ShowMessage(SettingsFile::kChooseFile);
            return;
        }
        // The whole file is checked before anything on the window changes.
        std::optional<ClockSchedule> schedule;
        try {
            schedule = SettingsFileStore::loadSchedule(path);
        } catch (const RuntimeError& failure) {
            if (failure.number() != ErrorNumber::PathFileAccessError)
                throw;
            ShowMessage(SettingsFile::kChooseFile);
            return;
        }
        if (!schedule) {
            ShowMessage(SettingsFile::kCannotLoad);
            return;
        }
        ui->Combo2->setCurrentIndex(schedule->ClockNumber - 1);
        for (int row = 1; row <= kGroupCount; ++row)
            ShowRow(row, schedule->rows[row - 1]);
        RecomputeStartTimes();
    });
}
