// Finding who else holds a serial device, against real pseudo-terminals held
// by child processes and lock files in a folder of the test's own.
#include "PseudoTerminal.h"
#include "SimProcess.h"
#include "serial/PortHolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {
// A child that holds `device` open (as its standard input) until it ends.
std::unique_ptr<QProcess> holdOpen(const QString& device) {
    auto child = std::make_unique<QProcess>();
    child->setStandardInputFile(device);
    child->start(QStringLiteral("sleep"), {QStringLiteral("30")});
    child->waitForStarted();
    return child;
}

void writeLock(const QString& folder, const QString& device, qint64 pid) {
    QFile lock(QDir(folder).filePath(QStringLiteral("LCK..") + device.section(QLatin1Char('/'), -1)));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(pid).rightJustified(10, ' ') + '\n');
}
} // namespace

class PortHoldersTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_locks;
    const QStringList noLocks;

private slots:
    void freeWhenOnlyThisProcessHoldsIt() {
        const PseudoTerminal pty;
        QVERIFY(!PortHolders::find(pty.slavePath(), noLocks));
    }

    void anotherProcessWithTheDeviceOpen() {
        const PseudoTerminal pty;
        const std::unique_ptr<QProcess> other = holdOpen(pty.slavePath());
        const std::optional<PortHolders::Holder> holder = PortHolders::find(pty.slavePath(), noLocks);
        QVERIFY(holder);
        QCOMPARE(holder->pid, other->processId());
        QCOMPARE(holder->name, QStringLiteral("sleep"));
        QCOMPARE(holder->describe(), QStringLiteral("sleep (pid %1)").arg(other->processId()));
    }

    void theProviderOfAPseudoTerminalIsNoCompetitor() {
        // The simulator holds both sides of its pseudo-terminal.
        SimProcess sim;
        QVERIFY(sim.start({QStringLiteral("--persist")}));
        QVERIFY(!PortHolders::find(sim.device(), noLocks));
        // A program that opens it besides is one.
        const std::unique_ptr<QProcess> other = holdOpen(sim.device());
        const std::optional<PortHolders::Holder> holder = PortHolders::find(sim.device(), noLocks);
        QVERIFY(holder);
        QCOMPARE(holder->pid, other->processId());
    }

    void lockFiles_data() {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<bool>("busy");
        QTest::newRow("running process") << "running" << true;
        QTest::newRow("process gone") << "gone" << false;
        QTest::newRow("this process") << "self" << false;
    }
    void lockFiles() {
        QFETCH(QString, owner);
        QFETCH(bool, busy);
        const PseudoTerminal pty;
        QProcess running;
        running.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(running.waitForStarted());
        QProcess gone;
        gone.start(QStringLiteral("true"));
        QVERIFY(gone.waitForFinished());
        const qint64 pid = owner == QLatin1String("running") ? running.processId()
                           : owner == QLatin1String("gone")  ? gone.processId()
                                                             : QCoreApplication::applicationPid();
        writeLock(m_locks.path(), pty.slavePath(), pid);
        const std::optional<PortHolders::Holder> holder =
            PortHolders::find(pty.slavePath(), {m_locks.path()});
        QCOMPARE(bool(holder), busy);
        if (busy)
            QCOMPARE(holder->describe(), QStringLiteral("sleep (pid %1)").arg(pid));
        running.kill();
        running.waitForFinished();
    }

    void commonServicesAreNamed() {
        const PortHolders::Holder modemManager{812, QStringLiteral("ModemManager")};
        const PortHolders::Holder brltty{77, QStringLiteral("brltty")};
        QVERIFY(modemManager.describe().startsWith(
            QStringLiteral("ModemManager (pid 812), which probes serial devices for modems")));
        QVERIFY(brltty.describe().startsWith(QStringLiteral("brltty (pid 77), the braille display driver")));
    }
};

QTEST_MAIN(PortHoldersTest)
#include "tst_port_holders.moc"
