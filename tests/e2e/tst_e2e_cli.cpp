// varo-clock-cli end to end: every command against the master clock
// simulator on a pseudo-terminal, with the real serial component and the
// computer's clock; the computer clock setter is a recorder. One run of the
// program itself streams ten GPS sentences, which gpsd must accept.
#include "FakeClockSetter.h"
#include "FrameLog.h"
#include "KnownBytes.h"
#include "SimProcess.h"
#include "commandline/ClockCli.h"
#include "protocol/SystemClockReader.h"
#include "protocol/WallClock.h"
#include "serial/QtSerialDevice.h"
#include "serial/SystemPortCatalog.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <csignal>

namespace {
const QString kCli = QStringLiteral(VARO_CLOCK_CLI_PATH);

// What one in-process run printed and returned.
struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

const QByteArray kClock2File = QByteArray(kStartUpSettingsFile).replace("[CLOCK1]", "[CLOCK2]");
const QString kRmcLine =
    QStringLiteral(" RX 24[0-9A-F]+0D0A RMC (\\d{6})\\.123 ([AV]) (\\d{6}) checksum ok$");
} // namespace

class E2eCliTest : public QObject {
    Q_OBJECT

private:
    SystemWallClock m_clock;

    static CliRun runCli(const QStringList& arguments, FakeClockSetter& setter, SystemWallClock& clock) {
        CliRun run;
        QTextStream out(&run.out);
        QTextStream err(&run.err);
        SystemPortCatalog ports;
        ClockCli cli({&clock, &setter, QtSerialDevice::factory(), &ports, &out, &err});
        run.status = int(cli.run(arguments));
        return run;
    }

private slots:
    void commands_data() {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QStringList>("arguments"); // %DEV% the simulator's device, %DIR% a fresh folder
        QTest::addColumn<QByteArray>("file");       // written to %DIR%/settings.txt when not empty
        QTest::addColumn<bool>("setterFails");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");    // the start of standard error; empty for none
        QTest::addColumn<QString>("out");    // a pattern standard output must match
        QTest::addColumn<QString>("logged"); // a pattern of a simulator log line after the run

        const QStringList none;
        const QStringList port{QStringLiteral("--port"), QStringLiteral("%DEV%")};
        const QString file = QStringLiteral("%DIR%/settings.txt");
        QTest::newRow("set-time from the computer")
            << none << port + QStringList{"set-time"} << QByteArray() << false << 0 << QString()
            << "^text \\d{4}-\\d\\d-\\d\\d,[0-6],\\d\\d:\\d\\d:\\d\\d\\nsent AA00[0-9A-F]{14}\\n$"
            << " RX AA00[0-9A-F]{14} set time ";
        QTest::newRow("set-time typed") << none << port + QStringList{"set-time", "09:07:05"} << QByteArray()
                                        << false << 0 << QString() << "\\nsent AA00[0-9A-F]{8}090705\\n$"
                                        << " RX AA00[0-9A-F]{8}090705 set time \\S+ weekday [0-6] 09:07:05$";
        QTest::newRow("countdown on clock 2")
            << none << port + QStringList{"countdown", "10:00:00", "--clock", "2"} << QByteArray() << false
            << 0 << QString() << "^remaining \\d\\d:\\d\\d:\\d\\d\\nsent DDD2[0-9]{6}\\n$"
            << " RX DDD2[0-9]{6} countdown clock 2 .* 10:00:00$";
        QTest::newRow("read clock 2 prints the settings file")
            << none << port + QStringList{"read", "--clock", "2"} << QByteArray() << false << 0 << QString()
            << "^sent BBA2\\nreceived BBB2070000480000[0-9A-F]{84}\\nRead "
               "success!\\n\\[CLOCK2\\]\\r\\nA,07:00:00,"
               "08:00:00,S\\r\\n"
            << " TX BBB2[0-9A-F]{96} settings reply clock 2 ";
        QTest::newRow("write a settings file")
            << none << port + QStringList{"write", file} << kClock2File << false << 0 << QString()
            << "^sent CCB2 070000480000 073000003000 093000510000 103000003000 113000003000 601500004500 "
               "540000410000 163000020000\\nreceived CCC2[0-9A-F]{96}\\nWrite success!\\n$"
            << " RX CCB2[0-9A-F]{96} write clock 2 ";
        QTest::newRow("sync-computer from a time frame")
            << QStringList{"--time-frames", "1"} << port + QStringList{"sync-computer"} << QByteArray()
            << false << 0 << QString()
            << "^received AA00[0-9A-F]{14}\\ntime \\d\\d:\\d\\d:\\d\\d\\nSynchronize success!\\n$"
            << " TX AA00[0-9A-F]{14} clock time ";
        QTest::newRow("gps without a fix")
            << none << port + QStringList{"gps", "--invalid"} << QByteArray() << false << 0 << QString()
            << "^sent "
               "\\$GPRMC,\\d{6}\\.123,V,3114\\.1296,N,12128\\.0253,E,000\\.0,000\\.0,\\d{6},,\\*[0-9A-F]{2}"
               "\\n$"
            << " RMC \\d{6}\\.123 V \\d{6} checksum ok$";
        QTest::newRow("ports lists the simulator as Com16")
            << none << QStringList{"ports"} << QByteArray() << false << 0 << QString()
            << "(^|\\n)Com16\\t%DEV%\\t" << QString();

        // Faults of the line and the master clock.
        QTest::newRow("no answer to a write")
            << QStringList{"--silent"} << port + QStringList{"write", file} << kStartUpSettingsFile << false
            << 4 << "No answer from the master clock to the write"
            << "^sent CCB1 "
            << " answer withheld";
        QTest::newRow("foreign answer to a read")
            << QStringList{"--foreign"} << port + QStringList{"read", "--clock", "1"} << QByteArray() << false
            << 4 << "The master clock's answer is no settings reply"
            << "\\nreceived CCC1"
            << "foreign answer";
        QTest::newRow("foreign answer to a write")
            << QStringList{"--foreign"} << port + QStringList{"write", file} << kStartUpSettingsFile << false
            << 4 << "The master clock's answer is no write reply"
            << "\\nreceived BBB1"
            << "foreign answer";
        QTest::newRow("time frame ahead of the settings reply")
            << QStringList{"--time-frame-first"} << port + QStringList{"read", "--clock", "1"} << QByteArray()
            << false << 0 << QString() << "^sent BBA1\\nreceived BBB1[0-9A-F]{96}\\nRead success!\\n"
            << " TX BBB1[0-9A-F]{96} settings reply clock 1 ";
        QTest::newRow("answer cut short")
            << QStringList{"--cut", "10"} << port + QStringList{"read", "--clock", "1"} << QByteArray()
            << false << 5
            << "Writing Error 9:Subscript out of range: the master clock's answer held only 10 of its 50"
            << "\\nreceived BBB1[0-9A-F]{16}\\n$"
            << "cut to 10 of 50 bytes";
        const QStringList sevenHoursAhead{"--time-frames", "1", "--offset-ms", "27372000"};
        QTest::newRow("sync-computer refuses a step of 7 h")
            << sevenHoursAhead << port + QStringList{"sync-computer"} << QByteArray() << false << 9
            << "The computer's clock would move by +7 h 36 min 12 s, more than the 60 s allowed: nothing was "
               "set"
            << "\\ntime \\d\\d:\\d\\d:\\d\\d\\n$" << QString();
        QTest::newRow("sync-computer --max-step allows it")
            << sevenHoursAhead << port + QStringList{"sync-computer", "--max-step", "27400"} << QByteArray()
            << false << 0 << QString() << "\\nSynchronize success!\\n$" << QString();
        QTest::newRow("sync-computer says the master clock's date is a day ahead")
            << QStringList{"--time-frames", "1", "--offset-ms", "86400000"}
            << port + QStringList{"sync-computer"} << QByteArray() << false << 0
            << "varo-clock-cli: warning: The master clock's date " +
                   QDate::currentDate().addDays(1).toString(Qt::ISODate) +
                   " is 1 day ahead of the computer's: the computer's date was left as it is; set the master "
                   "clock's date from the computer (set-time)\n"
            << "\nSynchronize success!\n$" << QString();
        QTest::newRow("time frame cannot set the clock")
            << QStringList{"--time-frames", "1"} << port + QStringList{"sync-computer"} << QByteArray()
            << true << 7 << "Writing Error 70:not permitted"
            << "\\ntime \\d\\d:\\d\\d:\\d\\d\\n$" << QString();
        QTest::newRow("port cannot be opened")
            << none << QStringList{"--port", "/dev/varo-no-such-port", "set-time"} << QByteArray() << false
            << 3 << "8002: /dev/varo-no-such-port does not exist"
            << "^$" << QString();

        // Settings files that do not load, or cannot be saved.
        QTest::newRow("header names no clock")
            << none << port + QStringList{"write", file}
            << QByteArray(kStartUpSettingsFile).replace("CLOCK1", "CLOCK3") << false << 6 << "设置无法装载"
            << "^$" << QString();
        QTest::newRow("file ends early")
            << none << port + QStringList{"write", file} << kStartUpSettingsFile.left(10 + 5 * 23) << false
            << 6 << "Writing Error 62:Input past end of file: "
            << "^$" << QString();
        QTest::newRow("no such file") << none << port + QStringList{"write", "%DIR%/none.txt"} << QByteArray()
                                      << false << 6 << "Writing Error 53:File not found: "
                                      << "^$" << QString();
        QTest::newRow("a folder to load") << none << port + QStringList{"write", "%DIR%"} << QByteArray()
                                          << false << 6 << "请选择一个装载文件！"
                                          << "^$" << QString();
        QTest::newRow("a time that is no time")
            << none << port + QStringList{"write", file}
            << QByteArray(kStartUpSettingsFile).replace("10:30:00,00:30:00", "10:30:00,00:75:00") << false
            << 6 << "Writing Error 13:Type mismatch"
            << "^$" << QString();
        QTest::newRow("save into a missing folder")
            << none << port + QStringList{"read", "--clock", "1", "--out", "%DIR%/no/such.txt"}
            << QByteArray() << false << 6 << "Writing Error 76:Path not found: "
            << "^sent BBA1\\nreceived BBB1" << QString();

        // Usage errors.
        QTest::newRow("no command") << none << port << QByteArray() << false << 2
                                    << "varo-clock-cli: no command given"
                                    << "^$" << QString();
        QTest::newRow("unsupported speed")
            << none << port + QStringList{"--baud", "1200", "set-time"} << QByteArray() << false << 2
            << "varo-clock-cli: --baud takes 4800, 9600, 19200 or 38400"
            << "^$" << QString();
        QTest::newRow("countdown without clock")
            << none << port + QStringList{"countdown", "10:00:00"} << QByteArray() << false << 2
            << "varo-clock-cli: countdown needs --clock 1 or --clock 2"
            << "^$" << QString();
        QTest::newRow("typed time out of range")
            << none << port + QStringList{"set-time", "25:00:00"} << QByteArray() << false << 2
            << "varo-clock-cli: Writing Error 13:Type mismatch"
            << "^$" << QString();
        QTest::newRow("--max-step out of range")
            << none << port + QStringList{"sync-computer", "--max-step", "-1"} << QByteArray() << false << 2
            << "varo-clock-cli: --max-step takes a whole number of seconds from 0 to 43200"
            << "^$" << QString();
        QTest::newRow("port 17") << none << QStringList{"--port", "17", "set-time"} << QByteArray() << false
                                 << 2 << "varo-clock-cli: --port 17 names no port"
                                 << "^$" << QString();
    }
    void commands() {
        QFETCH(QStringList, simOptions);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, file);
        QFETCH(bool, setterFails);
        QFETCH(int, status);
        QFETCH(QString, err);
        QFETCH(QString, out);
        QFETCH(QString, logged);

        SimProcess sim;
        QVERIFY(sim.start(simOptions + QStringList{QStringLiteral("--persist")}));
        qputenv("VARO_CLOCK_COM16", sim.device().toLocal8Bit());
        QTemporaryDir dir;
        if (!file.isEmpty()) {
            QFile settings(dir.filePath(QStringLiteral("settings.txt")));
            QVERIFY(settings.open(QIODevice::WriteOnly) && settings.write(file) == file.size());
        }
        for (QString& argument : arguments)
            argument.replace(QLatin1String("%DEV%"), sim.device())
                .replace(QLatin1String("%DIR%"), dir.path());
        FakeClockSetter setter;
        if (setterFails)
            setter.nextResult = RuntimeError(ErrorNumber::PermissionDenied, QStringLiteral("not permitted"));

        const int mark = int(sim.lines().size());
        const CliRun run = runCli(arguments, setter, m_clock);

        QVERIFY2(run.status == status,
                 qPrintable(QStringLiteral("status %1, stderr: %2").arg(run.status).arg(run.err)));
        if (err.isEmpty())
            QCOMPARE(run.err, QString());
        else
            QVERIFY2(run.err.startsWith(err) && run.err.endsWith(QLatin1Char('\n')), qPrintable(run.err));
        const QRegularExpression outPattern(QString(out).replace(QLatin1String("%DEV%"), sim.device()));
        QVERIFY2(outPattern.match(run.out).hasMatch(), qPrintable(run.out));
        if (!logged.isEmpty())
            QVERIFY2(sim.waitForLine(QRegularExpression(logged), 3000, mark).hasMatch(),
                     qPrintable(sim.lines().mid(mark).join(QLatin1Char('\n'))));
        // A refused step sets nothing.
        if (arguments.contains(QStringLiteral("sync-computer")) && status != 2)
            QCOMPARE(setter.offsetsUs.size(), status == 9 ? 0 : 1);
    }

    // The master clock goes away in the middle of a stream: status 1 and the
    // window's report of the lost or refusing line.
    void deviceGoneDuringGpsStream() {
        SimProcess sim;
        QVERIFY(sim.start({QStringLiteral("--persist")}));
        const qint64 simulatorPid = sim.pid();
        QTimer::singleShot(1500, [simulatorPid] { ::kill(pid_t(simulatorPid), SIGKILL); });
        FakeClockSetter setter;
        const CliRun run = runCli({QStringLiteral("--port"), sim.device(), QStringLiteral("gps"),
                                   QStringLiteral("--seconds"), QStringLiteral("5")},
                                  setter, m_clock);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.startsWith(QStringLiteral("Writing Error 802")) && run.err.contains(sim.device()),
                 qPrintable(run.err));
        QVERIFY(run.out.count(QStringLiteral("sent $GPRMC,")) < 5);
    }

    void jsonReport() {
        SimProcess sim;
        QVERIFY(sim.start({QStringLiteral("--persist")}));
        FakeClockSetter setter;
        const CliRun run = runCli({QStringLiteral("--json"), QStringLiteral("--port"), sim.device(),
                                   QStringLiteral("read"), QStringLiteral("--clock"), QStringLiteral("1")},
                                  setter, m_clock);
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.endsWith(QLatin1Char('\n')) && run.out.count(QLatin1Char('\n')) == 1);
        const QJsonObject report = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(report.value(QStringLiteral("command")).toString(), QStringLiteral("read"));
        QCOMPARE(report.value(QStringLiteral("exitStatus")).toInt(), 0);
        QCOMPARE(report.value(QStringLiteral("port")).toString(), sim.device());
        QCOMPARE(report.value(QStringLiteral("sent")).toArray(), QJsonArray{QStringLiteral("BBA1")});
        QCOMPARE(report.value(QStringLiteral("message")).toString(), QStringLiteral("Read success!"));
        QCOMPARE(report.value(QStringLiteral("file")).toString().toLatin1(), kStartUpSettingsFile);
    }

    // The program itself: ten sentences, one right after each of ten
    // boundaries in a row, each for its own second, all taken by gpsd.
    void gpsStreamOfTenSeconds() {
        SimProcess sim;
        QVERIFY(sim.start({QStringLiteral("--persist")}));
        const int mark = int(sim.lines().size());
        QProcess cli;
        cli.start(kCli, {QStringLiteral("--port"), sim.device(), QStringLiteral("gps"),
                         QStringLiteral("--seconds"), QStringLiteral("10")});
        QVERIFY(cli.waitForFinished(13000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(cli.readAllStandardError(), QByteArray());
        const QList<QByteArray> printed = cli.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(printed.size(), 10);

        const QRegularExpression rmc(kRmcLine);
        QTRY_COMPARE_WITH_TIMEOUT((sim.lines(), sim.linesMatching(rmc, mark).size()), 10, 3000);
        const QStringList logged = sim.linesMatching(rmc, mark);
        QByteArray stream;
        for (int i = 0; i < 10; ++i) {
            const QRegularExpressionMatch line = rmc.match(logged.at(i));
            const FrameLog::Entry entry = FrameLog::parseLine(logged.at(i)).value();
            const QDateTime carried(
                QDate::fromString(line.captured(3), QStringLiteral("ddMMyy")).addYears(100),
                QTime::fromString(line.captured(1), QStringLiteral("HHmmss")));
            const qint64 lagMs = carried.msecsTo(entry.localTime());
            QVERIFY2(lagMs >= 0 && lagMs < 100, qPrintable(logged.at(i)));
            QCOMPARE(printed.at(i), QByteArray("sent ") + entry.bytes().trimmed());
            stream += entry.bytes();
        }
        // One sentence for each second in a row.
        const QTime first =
            QTime::fromString(rmc.match(logged.first()).captured(1), QStringLiteral("HHmmss"));
        const QTime last = QTime::fromString(rmc.match(logged.last()).captured(1), QStringLiteral("HHmmss"));
        QCOMPARE((first.secsTo(last) + 86400) % 86400, 9);

        const QString gpsdecode = QStandardPaths::findExecutable(QStringLiteral("gpsdecode"));
        if (gpsdecode.isEmpty())
            QSKIP("gpsdecode not found on PATH: install gpsd-clients to check the stream against gpsd");
        QProcess gpsd;
        gpsd.start(gpsdecode, {QStringLiteral("-D"), QStringLiteral("1")});
        QVERIFY(gpsd.waitForStarted());
        gpsd.write(stream);
        gpsd.closeWriteChannel();
        QVERIFY(gpsd.waitForFinished());
        const QByteArray decoded = gpsd.readAllStandardOutput();
        QVERIFY2(!gpsd.readAllStandardError().contains("bad checksum"), decoded.constData());
        // Every sentence echoed as accepted; a time report for each second
        // that ends a cycle, the second to the tenth.
        for (const QByteArray& sentence : stream.split('\n'))
            if (!sentence.trimmed().isEmpty())
                QVERIFY2(decoded.contains(sentence.trimmed()), sentence.constData());
        QCOMPARE(decoded.count("\"class\":\"TPV\""), 9);
    }

    // The program against a master clock 1.5 s ahead: both clocks, the
    // computer's by this computer's kernel.
    void statusOfBothClocks() {
        SimProcess sim;
        QVERIFY(sim.start({"--time-frames", "1", "--offset-ms", "1500", "--persist"}));
        QProcess cli;
        cli.start(kCli, {"--port", sim.device(), "--json", "status"});
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 0);
        const QJsonObject report = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
        const QJsonObject master = report.value("masterClock").toObject();
        QVERIFY2(qAbs(master.value("offsetMs").toDouble() - 1500) <= 60,
                 qPrintable(QJsonDocument(master).toJson()));
        QVERIFY(master.value("frames").toInt() >= 2);
        QVERIFY(QTime::fromString(master.value("time").toString(), "HH:mm:ss").isValid());
        QCOMPARE(report.value("computerClock")["source"].toString(), QStringLiteral("adjtimex"));
    }

    // This computer's clock is not synchronized: set-time --require-sync
    // sends nothing and says why.
    void setTimeRequiresSync() {
        if (SystemClockReader().read().sync == ComputerClockState::Sync::Synchronized)
            QSKIP("a time service keeps this computer's clock synchronized");
        SimProcess sim;
        QVERIFY(sim.start({"--persist"}));
        const int mark = int(sim.lines().size());
        QProcess cli;
        cli.start(kCli, {"--port", sim.device(), "set-time", "--require-sync"});
        QVERIFY(cli.waitForFinished());
        QCOMPARE(cli.exitCode(), 8);
        const QByteArray err = cli.readAllStandardError();
        QVERIFY2(err.startsWith("the computer's clock is not synchronized: adjtimex: max error "),
                 err.constData());
        QCOMPARE(sim.linesMatching(QRegularExpression(" RX "), mark), QStringList());
    }

    void programReportsUsage() {
        QProcess cli;
        cli.start(kCli, {QStringLiteral("frobnicate")});
        QVERIFY(cli.waitForFinished());
        QCOMPARE(cli.exitCode(), 2);
        QVERIFY(cli.readAllStandardError().startsWith("varo-clock-cli: unknown command frobnicate\n"));
        cli.start(kCli, {QStringLiteral("--help")});
        QVERIFY(cli.waitForFinished());
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(cli.readAllStandardOutput().contains("Exit status:"));
    }
};

QTEST_GUILESS_MAIN(E2eCliTest)
#include "tst_e2e_cli.moc"
