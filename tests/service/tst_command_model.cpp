// The command model: every kind has its command and every outcome its name,
// and the command line and the service give the same verdict on the same
// text, through the one decoder of each kind of input.
#include "KnownBytes.h"
#include "commandline/CliArguments.h"
#include "service/CommandDecoder.h"
#include "service/ServiceOptions.h"
#include "session/ClockCommand.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QtTest>

namespace {

QByteArray withLine(int index, const QByteArray& line) {
    QList<QByteArray> lines = kStartUpSettingsFile.split('\n');
    lines[index] = line + '\r';
    return lines.join('\n');
}

// The service's verdict on a time of day: empty when it takes it.
QString serviceTimeVerdict(const QString& text) {
    const QByteArray body =
        QJsonDocument(QJsonObject{{QStringLiteral("clock"), 1}, {QStringLiteral("time"), text}}).toJson();
    return CommandDecoder::decode(
               ClockCommands::byRoute(QStringLiteral("POST"), QStringLiteral("/countdown")), {}, body)
        .error;
}

} // namespace

class CommandModelTest : public QObject {
    Q_OBJECT

private slots:
    // Each kind once, found by its kind; commands that share a word or a
    // route share their name and differ in their arguments.
    void everyKindHasItsCommand() {
        const QMetaEnum kinds = QMetaEnum::fromType<ClockRequest::Kind>();
        QCOMPARE(ClockCommands::all().size(), kinds.keyCount());
        for (int i = 0; i < kinds.keyCount(); ++i) {
            const auto kind = ClockRequest::Kind(kinds.value(i));
            const ClockCommand& command = ClockCommands::of(kind);
            QCOMPARE(command.kind, kind);
            QVERIFY2(!command.name.isEmpty() && !command.summary.isEmpty(), kinds.key(i));
            QVERIFY2(command.answer.has_value() == (command.decodeAnswer != nullptr), kinds.key(i));
            QVERIFY2(!command.answer || !command.missingAnswerText({}).isEmpty(), kinds.key(i));
            QVERIFY2((command.timing == ClockCommand::Timing::Listen) == (command.makeFrame == nullptr),
                     kinds.key(i));
            for (const ClockCommand* other : ClockCommands::byWord(command.word) +
                                                 ClockCommands::byRoute(command.httpMethod, command.httpPath))
                QCOMPARE(other->name, command.name);
        }
    }

    void everyOutcomeHasItsName() {
        const QMetaEnum statuses = QMetaEnum::fromType<ClockOutcome::Status>();
        QStringList names;
        for (int i = 0; i < statuses.keyCount(); ++i)
            names << ClockOutcome::statusName(ClockOutcome::Status(statuses.value(i)));
        QCOMPARE(QSet<QString>(names.cbegin(), names.cend()).size(), statuses.keyCount());
    }

    void timesOfDay_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("taken");
        QTest::newRow("HH:MM:SS") << "09:07:05" << true;
        QTest::newRow("last second of the day") << "23:59:59" << true;
        QTest::newRow("short form") << "9:7:5" << false;
        QTest::newRow("no seconds") << "09:07" << false;
        QTest::newRow("a date") << "2026-12-08" << false;
        QTest::newRow("a date and a time") << "1999-01-01 19:00:00" << false;
        QTest::newRow("hour 24") << "24:00:00" << false;
        QTest::newRow("blank before") << " 10:00:00" << false;
        QTest::newRow("fraction") << "10:00:00.5" << false;
    }
    void timesOfDay() {
        QFETCH(QString, text);
        QFETCH(bool, taken);
        const CliArguments cli = CliArguments::parse(
            {QStringLiteral("countdown"), text, QStringLiteral("--clock"), QStringLiteral("1")});
        QCOMPARE(cli.usageError.isEmpty(), taken);
        QCOMPARE(serviceTimeVerdict(text).isEmpty(), taken);
    }

    // What the service says of a settings file, line by line; the command line
    // says the same after "line N of FILE".
    void settingsFiles_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("warnings");
        QTest::newRow("as written") << kStartUpSettingsFile << QString() << QStringList();
        QTest::newRow("lower-case flag letters")
            << withLine(2, "a,07:30:00,00:30:00,R") << QString()
            << QStringList{"line 3: \"a\" at column 1 is neither A nor V: sent as valid"};
        QTest::newRow("a tenth line")
            << kStartUpSettingsFile + "A,01:00:00,00:10:00,R\r\n"
            << QString()
            << QStringList{"line 10: \"A,01:00:00,00:10:00,R\" follows the ninth line, "
                           "after which a settings file is not read: it is not sent"};
        QTest::newRow("a second clock's block")
            << kStartUpSettingsFile + "[CLOCK2]\r\n"
            << QString()
            << QStringList{"line 10: \"[CLOCK2]\" follows the ninth line, after which a settings file is not "
                           "read: a file holds one countdown clock"};
        QTest::newRow("no header") << withLine(0, "[CLOCK3]")
                                   << "设置无法装载: line 1: \"[CLOCK3]\" is no header [CLOCK1] or [CLOCK2]"
                                   << QStringList();
        QTest::newRow("a time that is none")
            << withLine(5, "A,11:30:00,00:75:00,R")
            << "Writing Error 13:Type mismatch: line 6: the countdown length \"00:75:00\" is no time of day "
               "(hh:nn:ss)"
            << QStringList();
    }
    void settingsFiles() {
        QFETCH(QByteArray, file);
        QFETCH(QString, error);
        QFETCH(QStringList, warnings);
        const CommandDecoder::Decoded decoded = CommandDecoder::decode(
            ClockCommands::byRoute(QStringLiteral("PUT"), QStringLiteral("/settings/{clock}")),
            {{QStringLiteral("clock"), QStringLiteral("1")}}, file);
        QCOMPARE(decoded.error, error);
        QCOMPARE(decoded.warnings, warnings);
        // The command line's words for the same file.
        const SettingsFileText::Decoded cli = SettingsFileText::decode(file, QStringLiteral("clock1.txt"));
        QStringList cliWarnings;
        for (const SettingsFileCheck::Finding& finding : cli.warnings)
            cliWarnings << SettingsFileText::lineText(finding, QStringLiteral("clock1.txt"));
        QCOMPARE(cliWarnings.join(QLatin1Char('\n')).replace(QStringLiteral(" of clock1.txt"), QString()),
                 warnings.join(QLatin1Char('\n')));
    }

    // --baud and --port of both programs.
    void options_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("error"); // empty: taken
        QTest::newRow("a speed") << "--baud"
                                 << "19200" << QString();
        QTest::newRow("a speed not offered") << "--baud"
                                             << "115200"
                                             << "--baud takes 4800, 9600, 19200 or 38400";
        QTest::newRow("a speed with a sign") << "--baud"
                                             << "+9600"
                                             << "--baud takes 4800, 9600, 19200 or 38400";
        QTest::newRow("a network port") << "--port"
                                        << "rfc2217://clock-room:4001" << QString();
        QTest::newRow("a network port without its port")
            << "--port"
            << "rfc2217://clock-room"
            << "--port rfc2217://clock-room names no port: a network port is rfc2217://HOST:PORT or "
               "socket://HOST:PORT, PORT from 1 to 65535";
        QTest::newRow("port 0") << "--port"
                                << "socket://10.1.1.9:0"
                                << "--port socket://10.1.1.9:0 names port 0, outside 1 to 65535";
        QTest::newRow("port 65536") << "--port"
                                    << "socket://10.1.1.9:65536"
                                    << "--port socket://10.1.1.9:65536 names port 65536, outside 1 to 65535";
        QTest::newRow("no port of the list")
            << "--port"
            << "17"
            << "--port 17 names no port (Com1 to Com16, a number 1-16 or a device)";
    }
    void options() {
        QFETCH(QString, option);
        QFETCH(QString, value);
        QFETCH(QString, error);
        QCOMPARE(CliArguments::parse({option, value, QStringLiteral("ports")}).usageError, error);
        QString serviceError;
        const QStringList service =
            option == QLatin1String("--port")
                ? QStringList{option, value}
                : QStringList{QStringLiteral("--port"), QStringLiteral("1"), option, value};
        QCOMPARE(ServiceOptions::parse(service, &serviceError).has_value(), error.isEmpty());
        QCOMPARE(serviceError, error);
    }
};

QTEST_GUILESS_MAIN(CommandModelTest)
#include "tst_command_model.moc"
