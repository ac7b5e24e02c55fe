// The simulator when the computer's wall clock is stepped under it (by hand
// or by a time server): its time frames follow the new second boundaries and
// SIGTERM still ends it. The step is made with libfaketime, for the
// simulator alone; its monotonic clock stays true.
#include "SimProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {
// Where Debian's libfaketime puts its library, whatever the architecture.
QString fakeTimeLibrary() {
    const QStringList found = QDir(QStringLiteral("/usr/lib")).entryList({QStringLiteral("*")}, QDir::Dirs);
    for (const QString& folder : found) {
        const QString library = QStringLiteral("/usr/lib/%1/faketime/libfaketime.so.1").arg(folder);
        if (QFile::exists(library))
            return library;
    }
    return QString();
}

bool setOffset(const QString& file, const QByteArray& offset) {
    QFile rc(file);
    return rc.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           rc.write(offset + '\n') == offset.size() + 1;
}
} // namespace

class SimWallClockStepTest : public QObject {
    Q_OBJECT
private slots:
    void stepOfSevenHours_data() {
        QTest::addColumn<QByteArray>("offset");
        QTest::addColumn<QString>("step");
        QTest::newRow("back") << QByteArray("-7h") << "-25(199|200)";
        QTest::newRow("ahead") << QByteArray("+7h") << "25(199|200)";
    }
    void stepOfSevenHours() {
        QFETCH(QByteArray, offset);
        QFETCH(QString, step);
#ifdef __SANITIZE_ADDRESS__
        QSKIP("libfaketime cannot be preloaded ahead of AddressSanitizer's run-time in the simulator");
#endif
        const QString library = fakeTimeLibrary();
        if (library.isEmpty())
            QSKIP("libfaketime is not installed (scripts/setup.sh installs it)");
        QTemporaryDir folder;
        const QString offsetFile = folder.filePath(QStringLiteral("faketime.rc"));
        QVERIFY(setOffset(offsetFile, "+0"));
        const QList<std::pair<const char*, QByteArray>> environment = {
            {"LD_PRELOAD", library.toLocal8Bit()},
            {"FAKETIME_TIMESTAMP_FILE", offsetFile.toLocal8Bit()},
            {"FAKETIME_NO_CACHE", "1"},
            {"FAKETIME_DONT_FAKE_MONOTONIC", "1"}};
        for (const auto& [name, value] : environment)
            qputenv(name, value);
        SimProcess sim;
        const bool started =
            sim.start({QStringLiteral("--time-frames"), QStringLiteral("1"), QStringLiteral("--persist")});
        for (const auto& variable : environment)
            qunsetenv(variable.first);
        QVERIFY(started);
        const QRegularExpression timeFrame(QStringLiteral(" TX AA00[0-9A-F]{14} clock time "));
        QVERIFY(sim.waitForLine(timeFrame, 3000).hasMatch());

        QVERIFY(setOffset(offsetFile, offset));
        const QRegularExpression stepped(
            QStringLiteral(" EV - wall clock stepped by %1\\.\\d{3} s; time frames follow").arg(step));
        const int stepLine = sim.waitForLineWhere(
            [&stepped](const QString& line) { return stepped.match(line).hasMatch(); }, 3000);
        QVERIFY2(stepLine >= 0, qPrintable(sim.lines().join(QLatin1Char('\n'))));
        QVERIFY(sim.waitForLine(timeFrame, 3000, stepLine + 1).hasMatch());

        QVERIFY(::kill(pid_t(sim.pid()), SIGTERM) == 0);
        QCOMPARE(sim.waitForExit(3000), 0);
    }
};

QTEST_GUILESS_MAIN(SimWallClockStepTest)
#include "tst_sim_wall_clock_step.moc"
