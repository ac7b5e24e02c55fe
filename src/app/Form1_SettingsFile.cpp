// Saving the schedule to a settings file and loading it again.
#include "settings_file/SettingsFile.h"
#include "Dialogs.h"
#include "Form1.h"
#include "common/RuntimeError.h"
#include "ui_Form1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
const QString kFileTypes = QStringLiteral("时钟设置文件(*.txt)");
// Far beyond any settings file; only its first nine lines are ever used.
constexpr qint64 kMostBytesRead = 1 << 20;

// Why a file cannot be opened, as the program's error numbers say it.
RuntimeError openFailure(const QString& path, const QString& reason, bool forWriting) {
    const QFileInfo info(path);
    if (info.isDir())
        return {ErrorNumber::PathFileAccessError,
                QStringLiteral("Path/File access error: %1 is a folder").arg(path)};
    if (forWriting && !info.absoluteDir().exists())
        return {ErrorNumber::PathNotFound, QStringLiteral("Path not found: %1").arg(info.absolutePath())};
    if (!forWriting && !info.exists())
        return {ErrorNumber::FileNotFound, QStringLiteral("File not found: %1").arg(path)};
    return {ErrorNumber::PermissionDenied, QStringLiteral("Permission denied: %1 (%2)").arg(path, reason)};
}
} // namespace

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

        // Written beside the target and renamed over it at the end, so a save
        // that fails part-way leaves the earlier file as it was.
        QSaveFile file(path);
        // Unbuffered, so that a write the system cuts short is seen here: a
        // buffered QSaveFile commits a shortened file as if all went well.
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            const RuntimeError failure = openFailure(path, file.errorString(), true);
            if (failure.number() == ErrorNumber::PathFileAccessError) {
                ShowMessage(QStringLiteral("缺少一个装载文件名！"));
                return;
            }
            throw failure;
        }
        qint64 written = 0;
        while (written < bytes.size()) {
            const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
            if (n <= 0)
                break;
            written += n;
        }
        if (written != bytes.size() || !file.commit())
            throw RuntimeError(
                ErrorNumber::DeviceIoError,
                QStringLiteral("Device I/O error: %1 could not be written (%2); the earlier file is "
                               "unchanged")
                    .arg(path, file.errorString()));
    });
}

void Form1::LoadSettingsFile() {
    RunCommand([this] {
        const QString path = m_seams.dialogs->askOpenFileName(this, m_fileDialogFolder, kFileTypes);
        if (path.isEmpty()) {
            ShowMessage(QStringLiteral("请选择一个装载文件！"));
            return;
        }
        QFile file(path);
        if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
            const RuntimeError failure = openFailure(path, file.errorString(), false);
            if (failure.number() == ErrorNumber::PathFileAccessError) {
                ShowMessage(QStringLiteral("请选择一个装载文件！"));
                return;
            }
            throw failure;
        }
        const QByteArray bytes = file.read(kMostBytesRead);
        file.close();

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
