// The command line on fake serial ports: what it prints and the exit status
// of each way a command ends, its refusals of what is ambiguous, and the
// files it will and will not write.
#include "FakeClock.h"
#include "FakeClockReader.h"
#include "FakeClockSetter.h"
#include "FakeSerial.h"
#include "KnownBytes.h"
#include "commandline/ClockCli.h"

#include <QTemporaryDir>
#include <QtTest>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {
const QString kHint = QStringLiteral("(varo-clock-cli --help lists the commands)\n");
const QString kCutShort =
    QStringLiteral("Writing Error 9:Subscript out of range: the master clock's answer held "
                   "only 4 of its 50 bytes; ");
const QString kMayHaveStored =
    QStringLiteral("the master clock may have stored the groups all the same: read "
                   "them back with varo-clock-cli --port Com1 read --clock 1\n");

QString usage(const QString& text) {
    return QStringLiteral("varo-clock-cli: ") + text + QLatin1Char('\n') + kHint;
}

QByteArray withLine(int index, const QByteArray& line) {
    QList<QByteArray> lines = kStartUpSettingsFile.split('\n');
    lines[index] = line + '\r';
    return lines.join('\n');
}

struct Run {
    int status;
    QString out;
    QString err;
};

// Runs the command line on the bank; "%DIR%" in the arguments is `folder`.
Run runCli(FakeSerialBank& bank, QStringList arguments, const QString& folder) {
    for (QString& argument : arguments)
        argument.replace(QLatin1String("%DIR%"), folder);
    FakeClock clock;
    FakeClockSetter setter;
    Run run{0, {}, {}};
    QTextStream outStream(&run.out), errStream(&run.err);
    ClockCli cli({&clock, &setter, bank.factory(), &bank, &outStream, &errStream});
    run.status = int(cli.run(arguments));
    return run;
}
} // namespace

using Sync = ComputerClockState::Sync;
Q_DECLARE_METATYPE(ComputerClockState)

class TestClockCli : public QObject {
    Q_OBJECT

private slots:
    void outcomes_data() {
        QTest::addColumn<QStringList>("arguments"); // %DIR%: a folder holding settings.txt
        QTest::addColumn<QString>("ports");         // usable port numbers; "16*" is held by another program
        QTest::addColumn<QByteArray>("file");       // settings.txt
        QTest::addColumn<QByteArray>("answer");     // "lost": the device fails instead
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        const QStringList read{"--port", "1", "read", "--clock", "1"};
        const QStringList write{"--port", "1", "write", "%DIR%/settings.txt"};
        const QByteArray reply = hexBytes("BBB1") + kDefaultRecords;
        const QByteArray writeReply = hexBytes("CCC1") + kDefaultRecords;
        const QString writeSent =
            "sent CCB1 070000480000 073000003000 093000510000 103000003000 113000003000 "
            "601500004500 540000410000 163000020000\n";
        const QByteArray none;
        const QByteArray startUp = kStartUpSettingsFile;
        QTest::newRow("typed time on the one port")
            << QStringList{"set-time", "12:34:56"} << "1" << none << none << 0
            << "text 2024-03-05,2,12:34:56\nsent AA0024030502123456\n"
            << QString();
        QTest::newRow("read") << read << "1" << none << reply << 0
                              << "sent BBA1\nreceived " + QString::fromLatin1(reply.toHex().toUpper()) +
                                     "\nRead success!\n" + QString::fromLatin1(kStartUpSettingsFile)
                              << QString();
        QTest::newRow("read unanswered") << read << "1" << none << none << 4 << "sent BBA1\n"
                                         << "No answer from the master clock to the read\n";
        QTest::newRow("read cut short")
            << read << "1" << none << reply.left(4) << 5 << "sent BBA1\nreceived BBB10700\n"
            << kCutShort + "nothing was changed\n";

        // The port: named, or the one there is.
        QTest::newRow("no port there") << QStringList{"set-time"} << "" << none << none << 3 << QString()
                                       << "Writing Error 8018:Operation valid only when the port is open: "
                                          "choose a serial port first\n";
        QTest::newRow("port held by another program")
            << QStringList{"--port", "com1", "set-time"} << "1*" << none << none << 3 << QString()
            << "8010: Com1 is in use by another program: minicom (pid 4242)\n";
        QTest::newRow("the one port there is held")
            << QStringList{"set-time"} << "16*" << none << none << 3 << QString()
            << "8010: Com16 is in use by another program: minicom "
               "(pid 4242)\n";
        QTest::newRow("several ports there")
            << QStringList{"set-time"} << "1 16*" << none << none << 2 << QString()
            << usage(
                   "2 ports are there; name one with --port: Com1 (/dev/fake/com1), Com16 (/dev/fake/com16)");
        QTest::newRow("empty --port") << QStringList{"--port", "", "set-time"} << "1" << none << none << 2
                                      << QString() << usage("--port needs a value");
        QTest::newRow("port 17") << QStringList{"--port", "17", "set-time"} << "1" << none << none << 2
                                 << QString()
                                 << usage(
                                        "--port 17 names no port (Com1 to Com16, a number 1-16 or a device)");

        // Options given twice, wrongly or not at all.
        QTest::newRow("--clock twice")
            << QStringList{"countdown", "19:00:00", "--clock", "1", "--clock", "2"} << "1" << none << none
            << 2 << QString() << usage("--clock is given more than once");
        QTest::newRow("--out twice") << read + QStringList{"--out", "%DIR%/a", "--out", "%DIR%/b"} << "1"
                                     << none << none << 2 << QString()
                                     << usage("--out is given more than once");
        QTest::newRow("--json twice")
            << QStringList{"--json", "ports", "--json"} << "1" << none << none << 2
            << "{\"command\":\"ports\",\"error\":\"varo-clock-cli: --json is given more "
               "than once\",\"exitStatus\":2}\n"
            << usage("--json is given more than once");
        QTest::newRow("--clock without value") << QStringList{"read", "--clock"} << "1" << none << none << 2
                                               << QString() << usage("--clock needs a value");
        QTest::newRow("--json with value")
            << QStringList{"--json=yes", "ports"} << "1" << none << none << 2
            << "{\"command\":\"ports\",\"error\":\"varo-clock-cli: --json takes no "
               "value\",\"exitStatus\":2}\n"
            << usage("--json takes no value");
        QTest::newRow("unknown option") << QStringList{"ports", "-x"} << "1" << none << none << 2 << QString()
                                        << usage("unknown option -x");
        QTest::newRow("option of another command")
            << QStringList{"--port", "1", "write", "f.txt", "--clock", "1"} << "1" << none << none << 2
            << QString() << usage("--clock does not go with write");
        QTest::newRow("countdown without --clock")
            << QStringList{"--json", "countdown", "19:00:00"} << "1" << none << none << 2
            << "{\"command\":\"countdown\",\"error\":\"varo-clock-cli: countdown needs --clock 1 or --clock "
               "2\",\"exitStatus\":2}\n"
            << usage("countdown needs --clock 1 or --clock 2");
        QTest::newRow("no command as JSON")
            << QStringList{"--json"} << "1" << none << none << 2
            << "{\"error\":\"varo-clock-cli: no command given\",\"exitStatus\":2}\n"
            << usage("no command given");
        QTest::newRow("speed not offered")
            << QStringList{"--baud", "1200", "ports"} << "1" << none << none << 2 << QString()
            << usage("--baud takes 4800, 9600, 19200 or 38400");
        QTest::newRow("typed time out of range")
            << QStringList{"set-time", "25:00:00"} << "1" << none << none << 2 << QString()
            << usage("Writing Error 13:Type mismatch: \"25:00:00\" is no time of day (HH:MM:SS)");

        // Settings files: what loads, what does not and why, and the answers to a write.
        QTest::newRow("write") << write << "1" << startUp << writeReply << 0
                               << writeSent + "received " +
                                      QString::fromLatin1(writeReply.toHex().toUpper()) + "\nWrite success!\n"
                               << QString();
        QTest::newRow("flag letters that are not the file's own")
            << write << "1" << withLine(2, "a,07:30:00,00:30:00,s,h") << writeReply << 0
            << "sent CCB1 070000480000 073000403000" + writeSent.mid(35) + "received " +
                   QString::fromLatin1(writeReply.toHex().toUpper()) + "\nWrite success!\n"
            << "varo-clock-cli: warning: line 3 of %DIR%/settings.txt: \"a\" at column 1 is neither A nor V: "
               "sent as valid; \"s\" at column 21 is neither R nor S: sent as static; \",h\" after column 21 "
               "is "
               "neither nothing nor \",H\": sent without ignore hours\n";
        QTest::newRow("line feeds alone")
            << write << "1" << QByteArray(startUp).replace("\r\n", "\n") << none << 6 << QString()
            << "设置无法装载: line 1 of %DIR%/settings.txt: its lines end in a line "
               "feed alone (LF); a settings file ends each line in CR LF, so the "
               "reader sees one long line\n";
        QTest::newRow("byte-order mark")
            << write << "1"
            << "\xEF\xBB\xBF" + startUp << none << 6 << QString()
            << "设置无法装载: line 1 of %DIR%/settings.txt: it starts with a "
               "byte-order mark (EF BB BF); a settings file is plain text without "
               "one\n";
        QTest::newRow("header of clock 3")
            << write << "1" << QByteArray(startUp).replace("CLOCK1", "CLOCK3") << none << 6 << QString()
            << "设置无法装载: line 1 of %DIR%/settings.txt: \"[CLOCK3]\" is no "
               "header [CLOCK1] or [CLOCK2]\n";
        QTest::newRow("one-digit hour")
            << write << "1" << withLine(3, "A,9:30:00,11:00:00,S") << none << 6 << QString()
            << "Writing Error 13:Type mismatch: line 4 of %DIR%/settings.txt: the "
               "refresh time 9:30:00 has a one-digit hour, which the file cannot "
               "hold: each time takes exactly eight characters, 09:30:00\n";
        QTest::newRow("no time")
            << write << "1" << withLine(5, "A,11:30:00,00:75:00,R") << none << 6 << QString()
            << "Writing Error 13:Type mismatch: line 6 of %DIR%/settings.txt: the countdown "
               "length \"00:75:00\" is no time of day (hh:nn:ss)\n";
        QTest::newRow("a folder to write")
            << QStringList{"--port", "1", "write", "%DIR%"} << "1" << none << none << 6 << QString()
            << "请选择一个装载文件！: Path/File access error: %DIR% is a folder\n";
        QTest::newRow("write unanswered")
            << write << "1" << startUp << none << 4 << writeSent
            << "No answer from the master clock to the write in time; " + kMayHaveStored;
        QTest::newRow("write cut short")
            << write << "1" << startUp << writeReply.left(4) << 5 << writeSent + "received CCC10700\n"
            << kCutShort + kMayHaveStored;
        QTest::newRow("write answer cut to its first byte")
            << write << "1" << startUp << writeReply.left(1) << 5 << writeSent + "received CC\n"
            << QString(kCutShort).replace(QLatin1String("only 4"), QLatin1String("only 1")) + kMayHaveStored;
        QTest::newRow("line lost after the write went out")
            << write << "1" << startUp << QByteArray("lost") << 1 << writeSent
            << "Writing Error 8022:the adapter was unplugged; " + kMayHaveStored;
        QTest::newRow("read saved into a folder")
            << read + QStringList{"--out", "%DIR%"} << "1" << none << reply << 6
            << "sent BBA1\nreceived " + QString::fromLatin1(reply.toHex().toUpper()) + "\n"
            << "缺少一个装载文件名！: Path/File access error: %DIR% is a folder\n";
    }

    void outcomes() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, ports);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, answer);
        QFETCH(QString, out);
        QFETCH(QString, err);

        FakeSerialBank bank;
        for (const QString& port : ports.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            bank.setPort(QString(port).remove(QLatin1Char('*')).toInt(), port.endsWith(QLatin1Char('*'))
                                                                             ? FakeSerialBank::Port::Busy
                                                                             : FakeSerialBank::Port::Usable);
        bank.responder = [&bank, answer](const QByteArray&) {
            if (answer == "lost")
                QTimer::singleShot(0,
                                   [&bank] { bank.loseDevice(QStringLiteral("the adapter was unplugged")); });
            else if (!answer.isEmpty())
                QTimer::singleShot(0, [&bank, answer] { bank.receive(answer); });
        };
        QTemporaryDir dir;
        QFile settings(dir.filePath(QStringLiteral("settings.txt")));
        QVERIFY(file.isEmpty() ||
                (settings.open(QIODevice::WriteOnly) && settings.write(file) == file.size()));
        settings.close();

        const Run run = runCli(bank, arguments, dir.path());
        QTEST(run.status, "status");
        QCOMPARE(run.out, QString(out).replace(QLatin1String("%DIR%"), dir.path()));
        QCOMPARE(run.err, QString(err).replace(QLatin1String("%DIR%"), dir.path()));
    }

    // read --out writes regular files only: through a link into its target,
    // which keeps its owner, permissions and other links; anything else is
    // refused untouched.
    void readOutTargets_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err"); // %OUT% the --out path, %DIR% the folder
        QTest::newRow("new file") << "none" << 0 << QString();
        QTest::newRow("symbolic link") << "link" << 0 << QString();
        QTest::newRow("link to another user's file") << "foreign link" << 0 << QString();
        QTest::newRow("link to nothing") << "dangling link" << 0 << QString();
        QTest::newRow("hard link") << "hard link" << 0 << QString();
        QTest::newRow("FIFO")
            << "fifo" << 6
            << "缺少一个装载文件名！: Path/File access error: %OUT% is a FIFO (named pipe), not "
               "a regular file; nothing was written\n";
        QTest::newRow("device node") << "device" << 6
                                     << "缺少一个装载文件名！: Path/File access error: %OUT% is a character "
                                        "device, not a regular file; nothing was written\n";
        QTest::newRow("link to a device")
            << "device link" << 6
            << "缺少一个装载文件名！: Path/File access error: %OUT% (a symbolic link "
               "to %DIR%/target) is a character device, not a regular file; "
               "nothing was written\n";
    }
    void readOutTargets() {
#ifndef Q_OS_UNIX
        QSKIP("symbolic links, FIFOs and device nodes are POSIX");
#else
        QFETCH(QString, kind);
        QFETCH(int, status);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const QByteArray out = QFile::encodeName(dir.filePath(QStringLiteral("out.txt")));
        const QByteArray target = QFile::encodeName(dir.filePath(QStringLiteral("target")));
        const auto make = [&target](const QByteArray& path) {
            QFile file(QFile::decodeName(path));
            return file.open(QIODevice::WriteOnly) && file.write("earlier\r\n") == 9;
        };
        if (kind.contains(QLatin1String("link")) && kind != QLatin1String("hard link"))
            QVERIFY(::symlink(target.constData(), out.constData()) == 0);
        if (kind == QLatin1String("link") || kind == QLatin1String("foreign link")) {
            QVERIFY(make(target));
            QVERIFY(::chmod(target.constData(), 0640) == 0);
        }
        if (kind == QLatin1String("foreign link") && ::chown(target.constData(), 65534, 65534) != 0)
            QSKIP("changing a file's owner needs the superuser");
        if (kind == QLatin1String("hard link"))
            QVERIFY(make(target) && ::link(target.constData(), out.constData()) == 0);
        if (kind == QLatin1String("fifo"))
            QVERIFY(::mkfifo(out.constData(), 0644) == 0);
        if (kind.contains(QLatin1String("device")) &&
            ::mknod(kind == QLatin1String("device") ? out.constData() : target.constData(), S_IFCHR | 0666,
                    makedev(1, 7)) != 0)
            QSKIP("making a device node needs the superuser");
        struct stat before {};
        const bool existed = ::stat(target.constData(), &before) == 0;

        FakeSerialBank bank;
        bank.setPort(1, FakeSerialBank::Port::Usable);
        bank.responder = [&bank](const QByteArray&) {
            QTimer::singleShot(0, [&bank] { bank.receive(hexBytes("BBB1") + kDefaultRecords); });
        };
        const Run run = runCli(bank, {"--port", "1", "read", "--clock", "1", "--out", QFile::decodeName(out)},
                               dir.path());
        QCOMPARE(run.status, status);
        QCOMPARE(run.err, QString(err)
                              .replace(QLatin1String("%OUT%"), QFile::decodeName(out))
                              .replace(QLatin1String("%DIR%"), dir.path()));
        struct stat written {};
        QVERIFY(::stat(out.constData(), &written) == 0);
        if (status != 0) {
            QVERIFY(!S_ISREG(written.st_mode));
            return;
        }
        QFile saved(QFile::decodeName(out));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), kStartUpSettingsFile);
        // The same file as before, with its owner, permissions and links.
        if (existed) {
            QCOMPARE(written.st_ino, before.st_ino);
            QCOMPARE(written.st_uid, before.st_uid);
            QCOMPARE(written.st_mode, before.st_mode);
            QCOMPARE(written.st_nlink, before.st_nlink);
        }
        struct stat link {};
        QVERIFY(::lstat(out.constData(), &link) == 0);
        QCOMPARE(S_ISLNK(link.st_mode),
                 kind.endsWith(QLatin1String("link")) && kind != QLatin1String("hard link"));
#endif
    }

    // status and --require-sync for each state of the computer's clock; a
    // time frame arrives 1.4 s after the second it names began, by the fake clock.
    void computerClock_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<ComputerClockState>("state");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        const ComputerClockState synced{Sync::Synchronized, 11.2, 0.345, "adjtimex", {}};
        const ComputerClockState unsynced{Sync::Unsynchronized, 16000.0, 16000.0, "adjtimex", {}};
        const ComputerClockState unknown{
            Sync::Unknown, {}, {}, "GetSystemTimeAdjustmentPrecise", "adjustment off"};
        const QString syncedLine = "PC clock synchronized, max error 12 ms (adjtimex: max error 11.2 ms, "
                                   "estimated error 0.345 ms)\n";
        const QString unsyncedLine =
            "PC clock not synchronized (adjtimex: max error 16000 ms, estimated error 16000 ms)\n";
        const QString masterLine = "Master clock 09:07:46, offset +1409 ms (1 time frame)\n";
        const QByteArray frame = bytesOf({0xAA, 0x00, 0x24, 0x03, 0x05, 0x02, 0x09, 0x07, 0x46});
        QTest::newRow("status of both clocks") << QStringList{"--port", "1", "status", "--seconds", "1"}
                                               << unsynced << frame << 0 << unsyncedLine + masterLine << "";
        QTest::newRow("status without a time frame")
            << QStringList{"--port", "1", "status", "--seconds", "1"} << synced << QByteArray() << 4
            << syncedLine << "No time frame from the master clock in 1 s\n";
        QTest::newRow("status without a port, unknown, sync required")
            << QStringList{"--port", "2", "--json", "status", "--require-sync"} << unknown << QByteArray()
            << 3
            << R"({"command":"status","computerClock":{"detail":"adjustment off","estErrorMs":null,)"
               R"("maxErrorMs":null,"source":"GetSystemTimeAdjustmentPrecise","state":"unknown",)"
               R"("synchronized":null},"error":"8002: Com2 does not exist","exitStatus":3,"masterClock":null})"
               "\n"
            << "8002: Com2 does not exist\n";
        QTest::newRow("status with a frame, sync required")
            << QStringList{"--port", "1", "status", "--seconds", "1", "--require-sync"} << unknown << frame
            << 8 << "PC clock state unknown (GetSystemTimeAdjustmentPrecise: adjustment off)\n" + masterLine
            << "the computer's clock is not synchronized: its state is unknown; "
               "GetSystemTimeAdjustmentPrecise: adjustment off\n";
        QTest::newRow("set-time refused") << QStringList{"--port", "1", "set-time", "--require-sync"}
                                          << unsynced << QByteArray() << 8 << unsyncedLine
                                          << "the computer's clock is not synchronized: adjtimex: max error "
                                             "16000 ms, estimated error 16000 ms\n";
        QTest::newRow("set-time on a synchronized clock")
            << QStringList{"set-time", "12:34:56", "--require-sync"} << synced << QByteArray() << 0
            << syncedLine + "text 2024-03-05,2,12:34:56\nsent AA0024030502123456\n"
            << "";
    }
    void computerClock() {
        QFETCH(QStringList, arguments);
        QFETCH(ComputerClockState, state);
        QFETCH(QByteArray, frame);
        QFETCH(int, status);

        FakeSerialBank bank;
        bank.setPort(1, FakeSerialBank::Port::Usable);
        FakeClock clock;
        FakeClockSetter setter;
        FakeClockReader reader;
        reader.state = state;
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        ClockCli cli({&clock, &setter, bank.factory(), &bank, &outStream, &errStream, &reader});
        if (!frame.isEmpty())
            QTimer::singleShot(0, [&bank, frame] { bank.receive(frame); });
        QCOMPARE(int(cli.run(arguments)), status);
        QTEST(out, "out");
        QTEST(err, "err");
        // A refusal comes before the port is opened.
        if (status == 8 && arguments.contains("set-time"))
            QCOMPARE(bank.opens, QList<int>());
    }
};

QTEST_MAIN(TestClockCli)
#include "tst_clock_cli.moc"
