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
    void initTestCase() { m_originalPath = qgetenv("PATH"); }
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() {
        qputenv("PATH", m_originalPath);
        m_dir.reset();
        GuiTest::cleanup();
    }

    void passesTimeWithHalfSecond_data() {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("argument");
        QTest::newRow("afternoon") << QTime(12, 34, 56) << "12:34:56.5";
        QTest::newRow("midnight") << QTime(0, 0, 0) << "00:00:00.5";
        QTest::newRow("single digits") << QTime(9, 5, 7) << "09:05:07.5";
        QTest::newRow("last second") << QTime(23, 59, 59) << "23:59:59.5";
    }
    void passesTimeWithHalfSecond() {
        QFETCH(QTime, time);
        QFETCH(QString, argument);
        QVERIFY(installDate(kSetsClock));
        const SystemClockSetter::Result result = ShellClockSetter().setTimeOfDay(time);
        QCOMPARE(recordedArgs(), (QStringList{QStringLiteral("-s"), argument}));
        QVERIFY(!result);
        QCOMPARE(errorNumberOf(result), 0);
        QCOMPARE(reasonOf(result), QString());
    }

    void refusalIsPermissionDenied() {
        QVERIFY(installDate(kRefusesWithReason));
        const SystemClockSetter::Result result = ShellClockSetter().setTimeOfDay(QTime(12, 34, 56));
        QCOMPARE(recordedArgs(), (QStringList{QStringLiteral("-s"), QStringLiteral("12:34:56.5")}));
        QVERIFY(result);
        QCOMPARE(errorNumberOf(result), 70);
        QCOMPARE(reasonOf(result), kRefused);
    }

    void silentRefusalStillGivesReason() {
        QVERIFY(installDate(kRefusesSilently));
        const SystemClockSetter::Result result = ShellClockSetter().setTimeOfDay(QTime(12, 34, 56));
        QVERIFY(result);
        QCOMPARE(errorNumberOf(result), 70);
        QVERIFY(!reasonOf(result).isEmpty());
    }

    void missingDateIsFileNotFound() {
        // A PATH with nothing on it.
        qputenv("PATH", QFile::encodeName(m_dir->path()));
        QCOMPARE(QStandardPaths::findExecutable(QStringLiteral("date")), QString());
        const SystemClockSetter::Result result = ShellClockSetter().setTimeOfDay(QTime(12, 34, 56));
        QVERIFY(result);
        QCOMPARE(errorNumberOf(result), 53);
        QVERIFY2(reasonOf(result).contains(QStringLiteral("date")), qPrintable(reasonOf(result)));
    }

    void windowSetsClockThroughDate_data() {
        QTest::addColumn<QString>("standIn");
        QTest::addColumn<QString>("message");
        QTest::newRow("clock set") << kSetsClock << "Synchronize success!";
        QTest::newRow("refused") << kRefusesWithReason << QStringLiteral("Writing Error 70:") + kRefused;
    }
    void windowSetsClockThroughDate() {
        QFETCH(QString, standIn);
        QFETCH(QString, message);
        QVERIFY(installDate(standIn));
        ShellClockSetter setter;
        Form1Harness h;
        h.clockSetterInUse = &setter;
        Form1& window = h.startWithPort();

        QTimer::singleShot(20, &window,
                           [&h] { h.serial.receive(QByteArray::fromHex("aa0026120601123456")); });
        h.click(QStringLiteral("Command8"));
        QCOMPARE(h.dialogs.texts(), QStringList{message});
        QCOMPARE(recordedArgs(), (QStringList{QStringLiteral("-s"), QStringLiteral("12:34:56.5")}));
    }

    void closingTheWindowLetsTheSetterFinish() {
        QVERIFY(installDate(kSetsClockSlowly));
        ShellClockSetter setter;
        Form1Harness h;
        h.clockSetterInUse = &setter;
        Form1& window = h.startWithPort();
        window.show();

        QTimer::singleShot(20, &window,
                           [&h] { h.serial.receive(QByteArray::fromHex("aa0026120601123456")); });
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
