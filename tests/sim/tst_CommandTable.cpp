// The simulator's protocol table against the program's: a command, a code or
// a length changed on one side only fails here.
#include "ClockProtocol.h"
#include "protocol/CommandTable.h"

#include <QTest>

namespace {
// A frame's shape in one text, so that a difference shows whole: "BB A0+n 2".
QString shapeText(quint8 code, quint8 byte1, bool namesClock, int length) {
    return QStringLiteral("%1 %2%3 %4")
        .arg(code, 2, 16, QLatin1Char('0'))
        .arg(byte1, 2, 16, QLatin1Char('0'))
        .arg(namesClock ? QStringLiteral("+n") : QString())
        .arg(length);
}

QString programText(const CommandTable::FrameShape& shape) {
    return shapeText(shape.code, shape.byte1, shape.namesClock, shape.length);
}

QString simulatorText(const ClockProtocol::Frame& shape) {
    return shapeText(shape.code, shape.byte1, shape.namesClock, shape.length);
}
} // namespace

class CommandTableTest : public QObject {
    Q_OBJECT
private slots:
    void sameCommands_data();
    void sameCommands();
    void sameClockTimeFrame();
};

void CommandTableTest::sameCommands_data() {
    QTest::addColumn<int>("index");
    QCOMPARE(ClockProtocol::kCommands.size(), CommandTable::kCommands.size());
    for (int index = 0; index < int(CommandTable::kCommands.size()); ++index)
        QTest::newRow(qPrintable(programText(CommandTable::kCommands[index].request))) << index;
}

void CommandTableTest::sameCommands() {
    QFETCH(int, index);
    const CommandTable::Command& program = CommandTable::kCommands[index];
    const ClockProtocol::Command* simulated = ClockProtocol::commandOf(program.request.code);
    QVERIFY(simulated);
    QCOMPARE(simulatorText(simulated->request), programText(program.request));
    QCOMPARE(simulated->answer ? simulatorText(*simulated->answer) : QStringLiteral("no answer"),
             program.answer ? programText(program.answer->frame) : QStringLiteral("no answer"));
}

void CommandTableTest::sameClockTimeFrame() {
    QCOMPARE(simulatorText(ClockProtocol::kClockTime), programText(CommandTable::kClockTime.frame));
}

QTEST_GUILESS_MAIN(CommandTableTest)
#include "tst_CommandTable.moc"
