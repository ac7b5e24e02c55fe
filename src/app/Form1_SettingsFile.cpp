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
    RunCommand([this] {
        // A cancelled dialog yields no name; an earlier file is never reused.
        const QString path = m_seams.dialogs->askSaveFileName(this, m_fileDialogFolder, kFileTypes);
        if (path.isEmpty()) {
            ShowMessage(QStringLiteral("缺少一个装载文件名！"));
            return;
        }
        GroupRows rows;
        for (int row = 1; row <= kGroupCount; ++row)
            rows[row - 1] = ReadRow(row);
        const QByteArray bytes = SettingsFile::write(ClockListIndex() + 1, rows);

        try {
            SettingsFileStore::save(path, bytes);
        } catch (const RuntimeError& failure) {
            // A folder chosen as the file counts as no file name.
            if (failure.number() != ErrorNumber::PathFileAccessError)
                throw;
            ShowMessage(QStringLiteral("缺少一个装载文件名！"));
        }
    });
}

void Form1::LoadSettingsFile() {
    RunCommand([this] {
        const QString path = m_seams.dialogs->askOpenFileName(this, m_fileDialogFolder, kFileTypes);
        if (path.isEmpty()) {
            ShowMessage(QStringLiteral("请选择一个装载文件！"));
            return;
        }
        QByteArray bytes;
        try {
            bytes = SettingsFileStore::load(path);
        } catch (const RuntimeError& failure) {
            if (failure.number() != ErrorNumber::PathFileAccessError)
                throw;
            ShowMessage(QStringLiteral("请选择一个装载文件！"));
            return;
        }

        // The whole file is checked before anything on the window changes.
        const SettingsFile::Loaded loaded = SettingsFile::read(bytes);
        switch (loaded.status) {
        case SettingsFile::Loaded::Status::BadHeader:
            ShowMessage(QStringLiteral("设置无法装载"));
            return;
        case SettingsFile::Loaded::Status::EndsEarly:
            throw RuntimeError(
                ErrorNumber::InputPastEndOfFile,
                QStringLiteral("Input past end of file: %1 holds %2 of its 9 lines; nothing was loaded")
                    .arg(path)
                    .arg(loaded.linesFound));
        case SettingsFile::Loaded::Status::Ok:
            break;
        }
        ui->Combo2->setCurrentIndex(loaded.schedule.ClockNumber - 1);
        for (int row = 1; row <= kGroupCount; ++row)
            ShowRow(row, loaded.schedule.rows[row - 1]);
        RecomputeStartTimes();
    });
}
