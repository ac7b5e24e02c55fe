#include "ClockCli.h"

#include "common/RuntimeError.h"
#include "gps/RmcStream.h"
#include "protocol/AnswerWait.h"
#include "protocol/CommandTexts.h"
#include "protocol/Frames.h"
#include "protocol/SecondBoundary.h"
#include "protocol/SystemClockSetter.h"
#include "protocol/WallClock.h"
#include "schedule/GroupRecord.h"
#include "schedule/TimeText.h"
#include "serial/LineSettings.h"
#include "serial/PortNames.h"
#include "serial/PortProbe.h"
#include "serial/QtSerialDevice.h"
#include "serial/SerialError.h"
#include "serial/SerialPortComponent.h"
#include "serial/SystemPortCatalog.h"
#include "settings_file/SettingsFile.h"
#include "settings_file/SettingsFileStore.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTextStream>

namespace {

// Ends a command with its exit status and the message for standard error.
struct CliFailure {
    CliStatus status;
    QString message;
};

[[noreturn]] void fail(CliStatus status, const RuntimeError& error) {
    throw CliFailure{status, CommandTexts::errorReport(error)};
}

// A port as --port names it: its number in the window's port list (0 for a
// device outside it) and its device.
struct PortChoice {
    int number = 0;
    QString device;
};

QString canonical(const QString& device) {
    const QString resolved = QFileInfo(device).canonicalFilePath();
    return resolved.isEmpty() ? device : resolved;
}

std::optional<PortChoice> choosePort(const QString& text) {
    static const QRegularExpression comName(QStringLiteral("^com([0-9]{1,3})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression number(QStringLiteral("^[0-9]{1,3}$"));
    const auto listed = [](int n) -> std::optional<PortChoice> {
        if (n < PortNames::kFirstPort || n > PortNames::kLastPort)
            return std::nullopt;
        return PortChoice{n, PortNames::deviceForPort(n)};
    };
    if (number.match(text).hasMatch())
        return listed(text.toInt());
    const QRegularExpressionMatch com = comName.match(text);
    if (com.hasMatch()) {
        const int n = com.captured(1).toInt();
        if (n >= PortNames::kFirstPort && n <= PortNames::kLastPort)
            return listed(n);
#ifdef Q_OS_WIN
        return PortChoice{0, text.toUpper()};
#else
        return std::nullopt;
#endif
    }
    // A device that is one of the list's ports keeps that port's name.
    for (int n = PortNames::kFirstPort; n <= PortNames::kLastPort; ++n)
        if (canonical(PortNames::deviceForPort(n)) == canonical(text))
            return PortChoice{n, text};
    return PortChoice{0, text};
}

QString portName(int number) {
    return QStringLiteral("Com") + QString::number(number);
}

} // namespace

CliStatus ClockCli::run(const QStringList& arguments) {
    QString usage;
    const std::optional<CliArguments> parsed = CliArguments::parse(arguments, &usage);
    if (!parsed) {
        *m_seams.err << "varo-clock-cli: " << usage << "\n(varo-clock-cli --help lists the commands)\n";
        m_seams.err->flush();
        return CliStatus::Usage;
    }
    if (parsed->command == CliArguments::Command::Help) {
        *m_seams.out << CliArguments::helpText();
        m_seams.out->flush();
        return CliStatus::Ok;
    }
    if (parsed->command == CliArguments::Command::Version) {
        *m_seams.out << "varo-clock-cli " << QStringLiteral(VARO_VERSION) << '\n';
        m_seams.out->flush();
        return CliStatus::Ok;
    }

    m_json = parsed->json;
    m_report = QJsonObject{{QStringLiteral("command"), parsed->commandName}};
    CliStatus status = CliStatus::Ok;
    try {
        execute(*parsed);
    } catch (const CliFailure& failure) {
        status = failure.status;
        *m_seams.err << failure.message << '\n';
        m_seams.err->flush();
        m_report.insert(QStringLiteral("error"), failure.message);
    }
    if (m_json) {
        if (!m_sent.isEmpty())
            m_report.insert(QStringLiteral("sent"), m_sent);
        if (!m_received.isEmpty())
            m_report.insert(QStringLiteral("received"), m_received);
        m_report.insert(QStringLiteral("exitStatus"), int(status));
        *m_seams.out << QJsonDocument(m_report).toJson(QJsonDocument::Compact) << '\n';
    }
    m_seams.out->flush();
    return status;
}

void ClockCli::execute(const CliArguments& arguments) {
    if (arguments.command == CliArguments::Command::Ports) {
        listPorts();
        return;
    }
    // A settings file is checked before the line is touched.
    std::optional<ClockSchedule> schedule;
    if (arguments.command == CliArguments::Command::Write) {
        try {
            schedule = SettingsFileStore::loadSchedule(arguments.file);
        } catch (const RuntimeError& error) {
            if (error.number() == ErrorNumber::PathFileAccessError)
                throw CliFailure{CliStatus::FileNotLoaded, SettingsFile::kChooseFile};
            fail(CliStatus::FileNotLoaded, error);
        }
        if (!schedule)
            throw CliFailure{CliStatus::FileNotLoaded, SettingsFile::kCannotLoad};
    }

    std::optional<PortChoice> choice;
    if (!arguments.port.isEmpty()) {
        choice = choosePort(arguments.port);
        if (!choice)
            throw CliFailure{CliStatus::Usage,
                             QStringLiteral("varo-clock-cli: --port %1 names no port (Com1 to "
                                            "Com16, a number 1-16 or a device)")
                                 .arg(arguments.port)};
    }
    SerialPortComponent port([&choice](int number) -> std::unique_ptr<SerialDevice> {
        // A device outside the list, a network port among them.
        if (choice && choice->number == 0)
            return SystemPortCatalog().deviceAt(choice->device);
        if (choice)
            return std::make_unique<QtSerialDevice>(choice->number, choice->device);
        return std::make_unique<QtSerialDevice>(number, PortNames::deviceForPort(number));
    });
    try {
        port.setSettings(LineSettings{arguments.baudRate, 'n', 8, 1}.toString());
        if (!choice) {
            // As the window does: the last port that opens.
            const QList<int> usable = PortProbe::usablePorts(port);
            if (!usable.isEmpty())
                choice = PortChoice{usable.last(), PortNames::deviceForPort(usable.last())};
        }
        if (choice) {
            // A device outside the list opens through the factory whatever the number.
            port.setCommPort(qMax(choice->number, PortNames::kFirstPort));
            port.setPortOpen(true);
        }
    } catch (const RuntimeError& error) {
        throw CliFailure{CliStatus::PortUnavailable, CommandTexts::portError(error)};
    }
    if (choice) {
        m_report.insert(QStringLiteral("port"), choice->device);
        if (choice->number > 0)
            m_report.insert(QStringLiteral("portName"), portName(choice->number));
    }

    try {
        // No usable port: the window's report for a closed port.
        if (!port.PortOpen())
            port.Input();
        switch (arguments.command) {
        case CliArguments::Command::SetTime:
            setTime(port, arguments);
            break;
        case CliArguments::Command::Countdown:
            countdown(port, arguments);
            break;
        case CliArguments::Command::Read:
            readSettings(port, arguments);
            break;
        case CliArguments::Command::Write:
            writeSettings(port, *schedule);
            break;
        case CliArguments::Command::SyncComputer:
            syncComputer(port);
            break;
        case CliArguments::Command::Gps:
            sendGps(port, arguments);
            break;
        default:
            break;
        }
    } catch (const RuntimeError& error) {
        // With no usable port found, the port stays closed, as in the window.
        fail(error.number() == SerialError::NotOpen ? CliStatus::PortUnavailable : CliStatus::Failed, error);
    }
}

QByteArray ClockCli::awaitAnswer(SerialPortComponent& port, int expectedBytes, int limitSeconds,
                                 AnswerWait::LeadingTimeFrames leading) {
    AnswerWait wait(port);
    const QByteArray answer =
        wait.awaitAndRead(expectedBytes, limitSeconds, m_seams.clock->now().time().msec(), leading);
    received(answer);
    return answer;
}

void ClockCli::sent(const QString& text) {
    m_sent.append(text);
    if (!m_json)
        *m_seams.out << "sent " << text << '\n';
}

void ClockCli::received(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return;
    m_received.append(Frames::hexText(bytes));
    if (!m_json)
        *m_seams.out << "received " << Frames::hexText(bytes) << '\n';
}

void ClockCli::say(const QString& key, const QString& value, const QString& line) {
    m_report.insert(key, value);
    if (!m_json)
        *m_seams.out << line << '\n';
}

void ClockCli::setTime(SerialPortComponent& port, const CliArguments& arguments) {
    QDate date;
    QTime time;
    if (arguments.typedTime) {
        date = m_seams.clock->now().date();
        time = *arguments.typedTime;
    } else {
        int secondMarker = 0;
        const QDateTime now = waitForNextSecond(*m_seams.clock, secondMarker);
        date = now.date();
        time = now.time();
    }
    const QString frameText = Frames::setTimeFrameText(date, time);
    const QByteArray frame = Frames::setTimeFrame(frameText);
    port.Output(frame);
    say(QStringLiteral("frameText"), frameText, QStringLiteral("text ") + frameText);
    sent(Frames::hexText(frame));
}

void ClockCli::countdown(SerialPortComponent& port, const CliArguments& arguments) {
    int secondMarker = 0;
    const QDateTime now = waitForNextSecond(*m_seams.clock, secondMarker);
    const QString remaining =
        TimeText::format(TimeText::remainingUntil(arguments.countdownStart, now.time()));
    const QByteArray frame = Frames::countdownFrame(arguments.clockNumber - 1, remaining);
    port.Output(frame);
    say(QStringLiteral("remaining"), remaining, QStringLiteral("remaining ") + remaining);
    sent(Frames::hexText(frame));
}

void ClockCli::readSettings(SerialPortComponent& port, const CliArguments& arguments) {
    port.Input();
    const QByteArray request = Frames::readRequest(arguments.clockNumber - 1);
    port.Output(request);
    sent(Frames::hexText(request));
    const QByteArray answer = awaitAnswer(port, Frames::Length::Settings, Frames::AnswerLimit::Settings,
                                          AnswerWait::LeadingTimeFrames::Skip);
    const std::optional<int> clockIndex =
        Frames::answeredClockIndex(answer, Frames::Code::ReadSettings, Frames::ClockBase::SettingsReply);
    if (!clockIndex)
        throw CliFailure{CliStatus::NoAnswer,
                         answer.isEmpty() ? QStringLiteral("No answer from the master clock to the read")
                                          : QStringLiteral("The master clock's answer is no settings reply")};
    GroupRows rows;
    try {
        rows = Frames::replyRows(answer);
    } catch (const RuntimeError& error) {
        fail(CliStatus::ShortAnswer, error);
    }
    const QByteArray file = SettingsFile::write(*clockIndex + 1, rows);
    m_report.insert(QStringLiteral("clock"), *clockIndex + 1);
    m_report.insert(QStringLiteral("file"), QString::fromLatin1(file));
    if (!arguments.file.isEmpty()) {
        try {
            SettingsFileStore::save(arguments.file, file);
        } catch (const RuntimeError& error) {
            if (error.number() == ErrorNumber::PathFileAccessError)
                throw CliFailure{CliStatus::FileNotLoaded, SettingsFile::kNoFileName};
            fail(CliStatus::FileNotLoaded, error);
        }
        m_report.insert(QStringLiteral("savedTo"), arguments.file);
    }
    say(QStringLiteral("message"), CommandTexts::kReadSuccess, CommandTexts::kReadSuccess);
    if (!m_json && arguments.file.isEmpty())
        *m_seams.out << QString::fromLatin1(file);
}

void ClockCli::writeSettings(SerialPortComponent& port, const ClockSchedule& schedule) {
    // The file's texts travel as the window sends its boxes: converted, or
    // the type mismatch of the first that is no time.
    QByteArray records;
    try {
        for (const GroupRow& row : schedule.rows) {
            const QTime refresh = TimeText::toTime(row.RefreshTime);
            const QTime length = TimeText::toTime(row.CountdownLength);
            records += GroupRecord::encode(refresh, length, row.Valid, row.StaticFlag, row.IgnoreHours);
        }
    } catch (const RuntimeError& error) {
        fail(CliStatus::FileNotLoaded, error);
    }
    m_report.insert(QStringLiteral("clock"), schedule.ClockNumber);
    port.Input();
    const QByteArray frame = Frames::writeFrame(schedule.ClockNumber - 1, records);
    port.Output(frame);
    const auto [firstLine, secondLine] = Frames::writeFrameLines(frame);
    sent(firstLine + QLatin1Char(' ') + secondLine);
    const QByteArray answer = awaitAnswer(port, Frames::Length::Settings, Frames::AnswerLimit::Settings,
                                          AnswerWait::LeadingTimeFrames::Skip);
    if (!Frames::answeredClockIndex(answer, Frames::Code::WriteSettings, Frames::ClockBase::WriteReply))
        throw CliFailure{CliStatus::NoAnswer,
                         answer.isEmpty() ? QStringLiteral("No answer from the master clock to the write")
                                          : QStringLiteral("The master clock's answer is no write reply")};
    try {
        Frames::replyRows(answer);
    } catch (const RuntimeError& error) {
        fail(CliStatus::ShortAnswer, error);
    }
    say(QStringLiteral("message"), CommandTexts::kWriteSuccess, CommandTexts::kWriteSuccess);
}

void ClockCli::syncComputer(SerialPortComponent& port) {
    // Only a frame that arrives after the start counts.
    port.Input();
    const QByteArray frame = awaitAnswer(port, Frames::Length::ClockTime, Frames::AnswerLimit::ClockTime);
    const std::optional<QString> text = Frames::clockTimeText(frame);
    if (!text)
        throw CliFailure{CliStatus::NoAnswer,
                         frame.isEmpty() ? QStringLiteral("No time frame from the master clock")
                                         : QStringLiteral("What the master clock sent is no time frame")};
    QTime time;
    try {
        time = TimeText::toTime(*text);
    } catch (const RuntimeError& error) {
        fail(CliStatus::NoAnswer, error);
    }
    const QString timeText = TimeText::format(time);
    say(QStringLiteral("time"), timeText, QStringLiteral("time ") + timeText);
    const SystemClockSetter::Result result = m_seams.clockSetter->setTimeOfDay(time);
    if (!result.ok)
        fail(CliStatus::ClockNotSet, RuntimeError(result.errorNumber, result.reason));
    say(QStringLiteral("message"), CommandTexts::kSynchronizeSuccess, CommandTexts::kSynchronizeSuccess);
}

void ClockCli::sendGps(SerialPortComponent& port, const CliArguments& arguments) {
    RmcStream stream(port, *m_seams.clock);
    std::optional<RuntimeError> failure;
    QEventLoop loop;
    QObject::connect(&stream, &RmcStream::sent, &loop, [this](const RmcSentence& sentence) {
        sent(QString::fromLatin1(sentence.bytes).trimmed());
    });
    QObject::connect(&stream, &RmcStream::failed, &loop, [&](const RuntimeError& error) { failure = error; });
    // The device went away between two sentences: the stream ends with the port.
    QObject::connect(&port, &SerialPortComponent::lineLost, &loop,
                     [&](int number, const QString& description) { failure.emplace(number, description); });
    QObject::connect(&stream, &RmcStream::stopped, &loop, &QEventLoop::quit);
    stream.start(arguments.gpsStatus, arguments.gpsSeconds);
    loop.exec();
    if (failure)
        throw *failure;
}

void ClockCli::listPorts() {
    SerialPortComponent probe(QtSerialDevice::factory());
    const QList<int> usable = PortProbe::usablePorts(probe);
    QStringList devices;
    for (const int number : usable)
        devices << PortNames::deviceForPort(number);
    const QList<PortIdentity> identities = SystemPortCatalog().identify(devices);
    QJsonArray ports;
    for (qsizetype i = 0; i < usable.size(); ++i) {
        const int number = usable[i];
        const QString description = identities[i].details();
        ports.append(QJsonObject{{QStringLiteral("port"), number},
                                 {QStringLiteral("name"), portName(number)},
                                 {QStringLiteral("device"), devices[i]},
                                 {QStringLiteral("description"), description}});
        if (!m_json)
            *m_seams.out << portName(number) << '\t' << devices[i] << '\t' << description << '\n';
    }
    m_report.insert(QStringLiteral("ports"), ports);
}
