// The setter that has Windows' own "cmd /c time" set the computer's clock:
// run against a stand-in for cmd that records how it was started, and
// against the real cmd where that cannot set the clock (Wine), alone and
// behind the window's "电脑同步于母钟".
#include "Form1Harness.h"
#include "protocol/SystemClockSetter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <windows.h>

namespace {
const QString kPrivilegeRefused = QStringLiteral("A required privilege is not held by the client.");
const QString kWineTime = QStringLiteral("Not Yet Implemented");
const QString kAnotherDay = QStringLiteral(
    "The computer's clock would move into another day, which the time command cannot do: nothing was set");

// The real cmd is only run where it cannot change this computer's clock.
bool underWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}
} // namespace

class ClockSetterTest : public GuiTest {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    static QString standIn() {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/clock-command-stand-in.exe");
    }
    QString recordPath() const { return QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("record"))); }
    // What the stand-in recorded: its arguments, then how it was shown.
    QStringList recorded() const {
        QFile record(recordPath());
        if (!record.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(record.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // The stand-in prints `output` (when not empty) and exits with `exitCode`.
    void answerWith(const QString& output, int exitCode) {
        if (output.isEmpty())
            qunsetenv("VARO_STAND_IN_OUTPUT");
        else
            qputenv("VARO_STAND_IN_OUTPUT", output.toLocal8Bit());
        qputenv("VARO_STAND_IN_EXIT", QByteArray::number(exitCode));
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        qputenv("VARO_STAND_IN_RECORD", recordPath().toLocal8Bit());
        QVERIFY(QFile::exists(standIn()));
    }

    // The time the offset names from the computer's clock, to the nearest
    // hundredth; time cannot change the date, so another day is not taken.
    void runsTimeMinimized_data() {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<qint64>("offsetUs");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("errorNumber");
        QTest::addColumn<QString>("reason");
        QTest::newRow("clock set") << QTime(12, 34, 56) << qint64(500'000) << QString() << 0 << "12:34:56.50"
                                   << 0 << QString();
        QTest::newRow("hundredths rounded")
            << QTime(9, 5, 7, 4) << qint64(-1'009'375) << QString() << 0 << "09:05:05.99" << 0 << QString();
        QTest::newRow("back to the day's start")
            << QTime(0, 0, 1, 400) << qint64(-1'395'000) << QString() << 0 << "00:00:00.01" << 0 << QString();
        QTest::newRow("back past midnight")
            << QTime(0, 0, 0, 400) << qint64(-1'390'625) << QString() << 0 << QString() << 70 << kAnotherDay;
        QTest::newRow("on past midnight")
            << QTime(23, 59, 59, 700) << qint64(295'000) << QString() << 0 << QString() << 70 << kAnotherDay;
        QTest::newRow("privilege refused") << QTime(23, 59, 59) << qint64(0) << kPrivilegeRefused << 1
                                           << "23:59:59.00" << 70 << kPrivilegeRefused;
        QTest::newRow("says it did nothing, exit code 0")
            << QTime(12, 34, 56) << qint64(0) << kWineTime << 0 << "12:34:56.00" << 70 << kWineTime;
    }
    void runsTimeMinimized() {
        QFETCH(QTime, now);
        QFETCH(qint64, offsetUs);
        QFETCH(QString, output);
        QFETCH(int, exitCode);
        QFETCH(QString, argument);
        QFETCH(int, errorNumber);
        QFETCH(QString, reason);
        answerWith(output, exitCode);
        FakeClock clock(QDateTime(QDate(2024, 3, 5), now));
        ShellClockSetter setter(clock, standIn());
        QCOMPARE(setter.canMoveClockBy(offsetUs), !argument.isEmpty());
        const SystemClockSetter::Result result = setter.moveClockBy(offsetUs);
        QCOMPARE(recorded(),
                 (argument.isEmpty() ? QStringList()
                                     : QStringList{QStringLiteral("/c time ") + argument,
                                                   QStringLiteral("show %1").arg(SW_SHOWMINIMIZED)}));
        QCOMPARE(!result, errorNumber == 0);
        QCOMPARE(errorNumberOf(result), errorNumber);
        QCOMPARE(reasonOf(result), reason);
    }

    void missingProgramIsFileNotFound() {
        const QString missing = m_dir->filePath(QStringLiteral("no-cmd.exe"));
        FakeClock clock;
        const SystemClockSetter::Result result = ShellClockSetter(clock, missing).moveClockBy(0);
        QVERIFY(result);
        QCOMPARE(errorNumberOf(result), 53);
        QVERIFY2(reasonOf(result).contains(missing), qPrintable(reasonOf(result)));
    }

    void realCmdUnderWineIsAFailure() {
        if (!underWine())
            QSKIP("the real cmd would set this computer's clock");
        FakeClock clock;
        const SystemClockSetter::Result result = ShellClockSetter(clock).moveClockBy(0);
        QVERIFY(result);
        QCOMPARE(errorNumberOf(result), 70);
        QCOMPARE(reasonOf(result), kWineTime);
    }

    void windowReportsTheOutcome_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("clock set") << standIn() << QString() << 0 << "Synchronize success!";
        QTest::newRow("privilege refused")
            << standIn() << kPrivilegeRefused << 1 << QStringLiteral("Writing Error 70:") + kPrivilegeRefused;
        QTest::newRow("Wine's cmd") << QString() << QString() << 0
                                    << QStringLiteral("Writing Error 70:") + kWineTime;
    }
    void windowReportsTheOutcome() {
        QFETCH(QString, program);
        QFETCH(QString, output);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        if (program.isEmpty() && !underWine())
            QSKIP("the real cmd would set this computer's clock");
        answerWith(output, exitCode);
        Form1Harness h;
        ShellClockSetter setter(h.clock, program);
        h.clockSetterInUse = &setter;
        Form1& window = h.startWithPort();

        QTimer::singleShot(20, &window,
                           // The fake clock's own date: a date that differs is said too.
                           [&h] { h.serial.receive(QByteArray::fromHex("aa0024030502090745")); });
        h.click(QStringLiteral("Command8"));
        QCOMPARE(h.dialogs.texts(), QStringList{message});
    }
};

QTEST_MAIN(ClockSetterTest)
#include "tst_clock_setter_windows.moc"
