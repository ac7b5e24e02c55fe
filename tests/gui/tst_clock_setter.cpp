// The setter that has the system's own `date` command set the computer's
// clock, run against stand-in `date` programs put first on PATH: alone, and
// behind the window's "电脑同步于母钟".
#include "Form1Harness.h"
#include "protocol/SystemClockSetter.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {
const QString kRefused = QStringLiteral("date: cannot set date: Operation not permitted");

// Shell script bodies for the stand-in `date`. Each records its arguments,
// one a line, in the file "args" beside it.
const QString kRecordArgs = QStringLiteral("printf '%s\\n' \"$@\" > \"${0%/*}/args\"\n");
// Like GNU date after setting the clock: prints the new date and succeeds.
const QString kSetsClock = kRecordArgs + QStringLiteral("echo 'Sun Dec  6 12:34:56 UTC 2026'\nexit 0\n");
const QString kRefusesSilently = kRecordArgs + QStringLiteral("exit 1\n");
const QString kRefusesWithReason = kRecordArgs + QStringLiteral("echo '%1' >&2\nexit 1\n").arg(kRefused);
// Takes its time, then notes in the file "done" that it got to the end.
const QString kSetsClockSlowly = kRecordArgs + QStringLiteral("sleep 0.5\necho done > \"${0%/*}/done\"\n");
} // namespace

class ClockSetterTest : public GuiTest {
    Q_OBJECT

private:
    QByteArray m_originalPath;
    std::unique_ptr<QTemporaryDir> m_dir;
    FakeClock m_clock;
    ShellClockSetter m_setter{m_clock};

    // Puts a `date` running `body` first on PATH. False if it did not get
    // there: the real `date` must never set this computer's clock.
    bool installDate(const QString& body) {
        const QString path = m_dir->filePath(QStringLiteral("date"));
        QFile script(path);
        if (!script.open(QIODevice::WriteOnly))
            return false;
        script.write(QStringLiteral("#!/bin/sh\n%1").arg(body).toUtf8());
        script.close();
        if (!script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return false;
        qputenv("PATH", QFile::encodeName(m_dir->path()) + ':' + m_originalPath);
        return QStandardPaths::findExecutable(QStringLiteral("date")) == path;
    }

    // The arguments the stand-in received, or an empty list if it never ran.
    QStringList recordedArgs() const {
        QFile record(m_dir->filePath(QStringLiteral("args")));
        if (!record.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(record.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase() {
        m_originalPath = qgetenv("PATH");
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    }
    void init() {
        // A reading made in the time zone set above.
        m_clock.set(FakeClock().now());
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() {
        qputenv("PATH", m_originalPath);
        m_dir.reset();
        GuiTest::cleanup();
    }

    // The date, time to the microsecond and UTC offset of the instant the
    // offset names from the computer's clock, in Central European Time.
    void passesTheInstant_data() {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<qint64>("offsetUs");
        QTest::addColumn<QString>("argument");
        const QDate day(2024, 3, 5);
        QTest::newRow("back past midnight") << QDateTime(day.addDays(1), QTime(0, 0, 0, 400))
                                            << qint64(-1'390'625) << "2024-03-05 23:59:59.009375 +0100";
        QTest::newRow("on past midnight") << QDateTime(day, QTime(23, 59, 59, 700)) << qint64(309'375)
                                          << "2024-03-06 00:00:00.009375 +0100";
        QTest::newRow("into summer time") << QDateTime(QDate(2024, 3, 31), QTime(1, 59, 59, 900))
                                          << qint64(200'000) << "2024-03-31 03:00:00.100000 +0200";
    }
    void passesTheInstant() {
        QFETCH(QDateTime, now);
        QFETCH(qint64, offsetUs);
        QFETCH(QString, argument);
        QVERIFY(installDate(kSetsClock));
        m_clock.set(now);
        QVERIFY(m_setter.canMoveClockBy(offsetUs));
        const SystemClockSetter::Result result = m_setter.moveClockBy(offsetUs);
        QCOMPARE(recordedArgs(), (QStringList{QStringLiteral("-s"), argument}));
        QVERIFY(!result);
        QCOMPARE(errorNumberOf(result), 0);
        QCOMPARE(reasonOf(result), QString());
    }

    void refusalIsPermissionDenied() {
        QVERIFY(installDate(kRefusesWithReason));
        const SystemClockSetter::Result result = m_setter.moveClockBy(0);
        QCOMPARE(recordedArgs(),
                 (QStringList{QStringLiteral("-s"), QStringLiteral("2024-03-05 09:07:44.600000 +0100")}));
        QVERIFY(result);
        QCOMPARE(errorNumberOf(result), 70);
        QCOMPARE(reasonOf(result), kRefused);
    }

    void silentRefusalStillGivesReason() {
        QVERIFY(installDate(kRefusesSilently));
        const SystemClockSetter::Result result = m_setter.moveClockBy(0);
        QVERIFY(result);
        QCOMPARE(errorNumberOf(result), 70);
        QVERIFY(!reasonOf(result).isEmpty());
    }

    void missingDateIsFileNotFound() {
        // A PATH with nothing on it.
        qputenv("PATH", QFile::encodeName(m_dir->path()));
        QCOMPARE(QStandardPaths::findExecutable(QStringLiteral("date")), QString());
        const SystemClockSetter::Result result = m_setter.moveClockBy(0);
        QVERIFY(result);
        QCOMPARE(errorNumberOf(result), 53);
        QVERIFY2(reasonOf(result).contains(QStringLiteral("date")), qPrintable(reasonOf(result)));
    }

    // A frame for 23:59:59 just after midnight sets the day before.
    void windowSetsClockThroughDate_data() {
        QTest::addColumn<QString>("standIn");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("argument");
        const QDateTime justAfterMidnight(QDate(2024, 3, 6), QTime(0, 0, 0, 400));
        QTest::newRow("clock set") << kSetsClock << justAfterMidnight << "Synchronize success!"
                                   << "2024-03-05 23:59:59.009375 +0100";
        QTest::newRow("refused") << kRefusesWithReason << justAfterMidnight.addDays(-1)
                                 << QStringLiteral("Writing Error 70:") + kRefused
                                 << "2024-03-04 23:59:59.009375 +0100";
    }
    void windowSetsClockThroughDate() {
        QFETCH(QString, standIn);
        QFETCH(QDateTime, now);
        QFETCH(QString, message);
        QFETCH(QString, argument);
        QVERIFY(installDate(standIn));
        Form1Harness h;
        h.clock.set(now);
        ShellClockSetter setter(h.clock);
        h.clockSetterInUse = &setter;
        Form1& window = h.startWithPort();

        QTimer::singleShot(20, &window,
                           [&h] { h.serial.receive(QByteArray::fromHex("aa0024030502235959")); });
        h.click(QStringLiteral("Command8"));
        QCOMPARE(h.dialogs.texts(), QStringList{message});
        QCOMPARE(recordedArgs(), (QStringList{QStringLiteral("-s"), argument}));
    }

    void closingTheWindowLetsTheSetterFinish() {
        QVERIFY(installDate(kSetsClockSlowly));
        Form1Harness h;
        ShellClockSetter setter(h.clock);
        h.clockSetterInUse = &setter;
        Form1& window = h.startWithPort();
        window.show();

        QTimer::singleShot(20, &window,
                           [&h] { h.serial.receive(QByteArray::fromHex("aa0026120601090745")); });
        // While the setter runs the operator closes the window, and the
        // program ends as it does when its last window closes.
        QTimer::singleShot(250, &window, [&window] {
            window.close();
            QCoreApplication::exit(0);
        });
        h.click(QStringLiteral("Command8"));
        // The program's end is over; the next tests' event loops run again.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();

        QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("done"))));
        QCOMPARE(h.dialogs.texts(), QStringList());
    }
};

QTEST_MAIN(ClockSetterTest)
#include "tst_clock_setter.moc"
