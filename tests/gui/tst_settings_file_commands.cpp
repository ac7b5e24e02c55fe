// Saving the schedule to a settings file and loading it back through the
// window's buttons, with the file dialogs answered by the test.
#include "Form1Harness.h"
#include "app/ScheduleCheckBox.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {
QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

#ifdef Q_OS_UNIX
// For its lifetime the process checks file access as a user who owns
// nothing here: the superuser, whom permission bits do not bind, takes the
// identity of "nobody" (keeping its groups); anyone else stays who he is.
class Unprivileged {
public:
    Unprivileged() {
        if (geteuid() == 0 && seteuid(kNobody) != 0)
            qFatal("cannot act as nobody");
    }
    ~Unprivileged() {
        if (getuid() == 0 && seteuid(0) != 0)
            qFatal("cannot become the superuser again");
    }

private:
    static constexpr uid_t kNobody = 65534;
};

// Limits the size of files this process writes, so that a save fails part-way.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
};
#endif
} // namespace

class SettingsFileCommandsTest : public GuiTest {
    Q_OBJECT

private:
    static int clockIndex(const Form1Harness& h) {
        return h.find<QComboBox>(QStringLiteral("Combo2"))->currentIndex();
    }

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void startUpStateSavesTheKnownFile() {
        Form1Harness h;
        h.start(QStringLiteral("/opt/varo-clock"));
        h.dialogs.nextSaveFileNames << path(QStringLiteral("startup.txt"));
        h.click(QStringLiteral("Command5"));
        QVERIFY(h.dialogs.messages().isEmpty());
        QCOMPARE(readAll(path(QStringLiteral("startup.txt"))), kStartUpSettingsFile);
        QCOMPARE(kStartUpSettingsFile.size(), 194);
        QCOMPARE(h.dialogs.lastFolder, QStringLiteral("/opt/varo-clock"));
        QCOMPARE(h.dialogs.lastFilter, QStringLiteral("时钟设置文件(*.txt)"));
    }

    void roundTripKeepsRowsButGreyStates() {
        Form1Harness h;
        h.start();
        h.check(QStringLiteral("Check42"))->setState(CheckState::Ticked);
        h.check(QStringLiteral("Check43"))->setState(CheckState::Grey);
        h.check(QStringLiteral("Check15"))->setState(CheckState::Grey);
        h.box("4", 6)->setText(QStringLiteral("21:15:00"));
        h.find<QComboBox>(QStringLiteral("Combo2"))->setCurrentIndex(1);
        h.dialogs.nextSaveFileNames << path(QStringLiteral("round.txt"));
        h.click(QStringLiteral("Command5"));
        QVERIFY(readAll(path(QStringLiteral("round.txt"))).contains("A,07:30:00,00:30:00,R,H\r\n"));

        Form1Harness other;
        other.start();
        other.dialogs.nextOpenFileNames << path(QStringLiteral("round.txt"));
        other.click(QStringLiteral("Command4"));
        QVERIFY(other.dialogs.messages().isEmpty());
        QCOMPARE(clockIndex(other), 1);
        QStringList expected = h.rowsShown();
        expected[3] = QStringLiteral("1 11:00:00 00:30:00 10:30:00 0 0 1"); // grey valid comes back ticked
        expected[2] =
            QStringLiteral("1 11:00:00 11:00:00 09:30:00 1 0 0"); // grey ignore-hours comes back clear
        expected[4] = QStringLiteral("1 00:30:00 00:30:00 11:30:00 1 0 0"); // grey static comes back ticked
        expected[5] = QStringLiteral("0 22:00:00 00:45:00 21:15:00 0 0 1"); // start derived anew
        QCOMPARE(other.rowsShown(), expected);
    }

    void headersThatDoNotLoad_data() {
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("clock 3") << QByteArray("[CLOCK3]\r\n");
        QTest::newRow("lower case") << QByteArray("[clock1]\r\n");
        QTest::newRow("trailing blank") << QByteArray("[CLOCK1] \r\n");
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[CLOCK1]\r\n");
        QTest::newRow("clock 0") << QByteArray("[CLOCK0]\r\n");
    }
    void headersThatDoNotLoad() {
        QFETCH(QByteArray, header);
        writeFile(path(QStringLiteral("bad.txt")),
                  header + kStartUpSettingsFile.mid(10).replace("07:", "06:"));
        Form1Harness h;
        h.start();
        const QStringList before = h.rowsShown();
        h.dialogs.nextOpenFileNames << path(QStringLiteral("bad.txt"));
        h.click(QStringLiteral("Command4"));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("设置无法装载")});
        QCOMPARE(h.dialogs.messages()[0].title, QStringLiteral("Varo_Clock"));
        QCOMPARE(h.rowsShown(), before);
    }

    void bareLineFeedsMakeOneLine() {
        writeFile(path(QStringLiteral("lf.txt")), QByteArray(kStartUpSettingsFile).replace("\r\n", "\n"));
        Form1Harness h;
        h.start();
        h.dialogs.nextOpenFileNames << path(QStringLiteral("lf.txt"));
        h.click(QStringLiteral("Command4"));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("设置无法装载")});
    }

    void olderFilesStillLoad() {
        // Lower-case letters, a 21-character line, a last line without CR LF
        // and lines after the ninth, as files of earlier versions may hold.
        writeFile(path(QStringLiteral("old.txt")), "[CLOCK2]\r\n"
                                                   "a,07:00:00,08:00:00,s,h\r\n"
                                                   "A,07:30:00,00:30:00,R,H\r\n"
                                                   "A,09:30:00,11:00:00,S\r\n"
                                                   "A,10:30:00,00:30:00,R\r\n"
                                                   "A,11:30:00,00:30:00,R\r\n"
                                                   "V,20:15:00,00:45:00,R\r\n"
                                                   "V,14:00:00,01:00:00,S\r\n"
                                                   "A,16:30:00,02:00:00,R\r\n"
                                                   "[CLOCK1]\r\ngarbage");
        Form1Harness h;
        h.start();
        h.dialogs.nextOpenFileNames << path(QStringLiteral("old.txt"));
        h.click(QStringLiteral("Command4"));
        QVERIFY(h.dialogs.messages().isEmpty());
        QCOMPARE(clockIndex(h), 1);
        QCOMPARE(h.rowsShown().first(), QStringLiteral("2 08:00:00 08:00:00 07:00:00 2 0 0"));
        QCOMPARE(h.rowsShown().at(1), QStringLiteral("1 08:00:00 00:30:00 07:30:00 0 1 1"));

        writeFile(path(QStringLiteral("no-end.txt")), kStartUpSettingsFile.chopped(2));
        h.dialogs.nextOpenFileNames << path(QStringLiteral("no-end.txt"));
        h.click(QStringLiteral("Command4"));
        QVERIFY(h.dialogs.messages().isEmpty());
        QCOMPARE(clockIndex(h), 0);
        QCOMPARE(h.rowsShown().at(7), QStringLiteral("1 18:30:00 02:00:00 16:30:00 0 0 1"));
    }

    void aShortFileChangesNothing() {
        const QList<QByteArray> lines = kStartUpSettingsFile.split('\n');
        QByteArray fiveGroups;
        for (int i = 0; i < 6; ++i)
            fiveGroups += lines[i] + '\n';
        writeFile(path(QStringLiteral("short.txt")),
                  QByteArray(fiveGroups).replace("[CLOCK1]", "[CLOCK2]").replace("07:", "06:"));
        Form1Harness h;
        h.start();
        const QStringList before = h.rowsShown();
        h.dialogs.nextOpenFileNames << path(QStringLiteral("short.txt"));
        h.click(QStringLiteral("Command4"));
        QCOMPARE(
            h.dialogs.texts(),
            QStringList{QStringLiteral("Writing Error 62:Input past end of file: %1 holds 6 of its 9 lines; "
                                       "nothing was loaded")
                            .arg(path(QStringLiteral("short.txt")))});
        QCOMPARE(h.rowsShown(), before);
        QCOMPARE(clockIndex(h), 0);

        // The next load works as usual.
        writeFile(path(QStringLiteral("good.txt")),
                  QByteArray(kStartUpSettingsFile).replace("07:00:00", "06:00:00"));
        h.dialogs.takeTexts();
        h.dialogs.nextOpenFileNames << path(QStringLiteral("good.txt"));
        h.click(QStringLiteral("Command4"));
        QVERIFY(h.dialogs.messages().isEmpty());
        QCOMPARE(h.box("4", 1)->text(), QStringLiteral("06:00:00"));
    }

    void cancelledDialogs() {
        Form1Harness h;
        h.start();
        h.dialogs.nextSaveFileNames << path(QStringLiteral("kept.txt"));
        h.click(QStringLiteral("Command5"));
        h.box("3", 2)->setText(QStringLiteral("00:40:00"));
        // Cancelled: the earlier name is not reused and nothing is written.
        h.click(QStringLiteral("Command5"));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("缺少一个装载文件名！")});
        QCOMPARE(readAll(path(QStringLiteral("kept.txt"))), kStartUpSettingsFile);

        h.dialogs.takeTexts();
        h.click(QStringLiteral("Command4"));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("请选择一个装载文件！")});
        QCOMPARE(h.box("3", 2)->text(), QStringLiteral("00:40:00"));
    }

    void openFailures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing file") << "missing.txt"
                                      << "Writing Error 53:File not found: %1";
        QTest::newRow("a folder") << "."
                                  << "请选择一个装载文件！";
    }
    void openFailures() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        Form1Harness h;
        h.start();
        h.dialogs.nextOpenFileNames << path(name);
        h.click(QStringLiteral("Command4"));
        QCOMPARE(h.dialogs.texts(),
                 QStringList{expected.contains(QLatin1String("%1")) ? expected.arg(path(name)) : expected});
    }

    void saveIntoAMissingFolder() {
        Form1Harness h;
        h.start();
        h.dialogs.nextSaveFileNames << path(QStringLiteral("no/such/folder/x.txt"));
        h.click(QStringLiteral("Command5"));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Writing Error 76:Path not found: %1")
                                                    .arg(path(QStringLiteral("no/such/folder")))});
    }

    void saveThatFailsPartWayKeepsTheEarlierFile() {
#ifndef Q_OS_UNIX
        QSKIP("needs a file size limit (setrlimit)");
#else
        writeFile(path(QStringLiteral("earlier.txt")), kStartUpSettingsFile);
        Form1Harness h;
        h.start();
        h.box("3", 2)->setText(QStringLiteral("00:40:00"));
        h.dialogs.nextSaveFileNames << path(QStringLiteral("earlier.txt"));
        {
            const FileSizeLimit limit(100);
            h.click(QStringLiteral("Command5"));
        }
        QCOMPARE(h.dialogs.messages().size(), 1);
        QVERIFY2(
            h.dialogs.messages()[0].text.startsWith(QStringLiteral("Writing Error 57:Device I/O error: ")),
            qPrintable(h.dialogs.messages()[0].text));
        QCOMPARE(readAll(path(QStringLiteral("earlier.txt"))), kStartUpSettingsFile);
#endif
    }

    // The folder cannot be written; whether the file can decides.
    void saveIntoAFolderThatCannotBeWritten_data() {
        QTest::addColumn<QFileDevice::Permissions>("filePermissions");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("saved");
        const QFileDevice::Permissions readable =
            QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        QTest::newRow("writable file is written in place")
            << (readable | QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther)
            << QString() << kStartUpSettingsFile;
        QTest::newRow("read-only file is refused")
            << readable << "Writing Error 70:Permission denied: " << QByteArray("earlier\r\n");
    }
    void saveIntoAFolderThatCannotBeWritten() {
#ifndef Q_OS_UNIX
        QSKIP("needs a folder without write permission (POSIX modes)");
#else
        QFETCH(QFileDevice::Permissions, filePermissions);
        QFETCH(QString, message);
        QFETCH(QByteArray, saved);
        const QFileDevice::Permissions enter = QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                               QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                               QFileDevice::ReadOther | QFileDevice::ExeOther;
        QFile::setPermissions(m_dir.path(), enter | QFileDevice::WriteOwner);
        QDir(m_dir.path()).mkdir(QStringLiteral("locked"));
        const QString file = path(QStringLiteral("locked/earlier.txt"));
        writeFile(file, "earlier\r\n");
        QFile::setPermissions(file, filePermissions);
        QFile::setPermissions(path(QStringLiteral("locked")), enter);
        Form1Harness h;
        h.start();
        h.dialogs.nextSaveFileNames << file;
        {
            const Unprivileged asOtherUser;
            h.click(QStringLiteral("Command5"));
        }
        QFile::setPermissions(path(QStringLiteral("locked")), enter | QFileDevice::WriteOwner);
        QFile::setPermissions(file, filePermissions | QFileDevice::WriteOwner);
        const QStringList texts = h.dialogs.texts();
        if (message.isEmpty())
            QVERIFY2(texts.isEmpty(), qPrintable(texts.join(QLatin1Char('|'))));
        else
            QVERIFY2(texts.size() == 1 && texts[0].startsWith(message),
                     qPrintable(texts.join(QLatin1Char('|'))));
        QCOMPARE(readAll(file), saved);
        QVERIFY(QFile::remove(file));
#endif
    }

    // Only regular files are saved: through a link, into its target; a
    // folder, a FIFO or a device is refused and named for what it is.
    void saveTargets_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message"); // %1 the chosen path
        const QString refused = QStringLiteral("缺少一个装载文件名！\r\nPath/File access error: %1 is ");
        QTest::newRow("symbolic link") << "link" << QString();
        QTest::newRow("folder") << "folder" << refused + "a folder";
        QTest::newRow("FIFO") << "fifo"
                              << refused + "a FIFO (named pipe), not a regular file; nothing was written";
        QTest::newRow("device node") << "device"
                                     << refused +
                                            "a character device, not a regular file; nothing was written";
    }
    void saveTargets() {
#ifndef Q_OS_UNIX
        QSKIP("symbolic links, FIFOs and device nodes are POSIX");
#else
        QFETCH(QString, kind);
        QFETCH(QString, message);
        const QString chosen = path(QStringLiteral("chosen-") + kind);
        const QByteArray name = QFile::encodeName(chosen);
        if (kind == QLatin1String("link")) {
            writeFile(path(QStringLiteral("target.txt")), "earlier\r\n");
            QVERIFY(QFile::link(path(QStringLiteral("target.txt")), chosen));
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("chosen-folder")));
        } else if (kind == QLatin1String("fifo")) {
            QVERIFY(::mkfifo(name.constData(), 0644) == 0);
        } else if (::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
            QSKIP("making a device node needs the superuser");
        }
        Form1Harness h;
        h.start();
        h.dialogs.nextSaveFileNames << chosen;
        h.click(QStringLiteral("Command5"));
        QCOMPARE(h.dialogs.texts(), message.isEmpty() ? QStringList() : QStringList{message.arg(chosen)});
        if (kind == QLatin1String("link")) {
            QVERIFY(QFileInfo(chosen).isSymLink());
            QCOMPARE(readAll(path(QStringLiteral("target.txt"))), kStartUpSettingsFile);
        } else {
            QVERIFY(!QFileInfo(chosen).isFile());
        }
#endif
    }

    void noClockChosenSavesAFileThatWillNotLoad() {
        Form1Harness h;
        h.start();
        h.find<QComboBox>(QStringLiteral("Combo2"))->setEditText(QStringLiteral("其他"));
        h.dialogs.nextSaveFileNames << path(QStringLiteral("clock0.txt"));
        h.click(QStringLiteral("Command5"));
        QVERIFY(readAll(path(QStringLiteral("clock0.txt"))).startsWith("[CLOCK0]\r\n"));
        h.dialogs.nextOpenFileNames << path(QStringLiteral("clock0.txt"));
        h.click(QStringLiteral("Command4"));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("设置无法装载")});
    }
};

QTEST_MAIN(SettingsFileCommandsTest)
#include "tst_settings_file_commands.moc"
