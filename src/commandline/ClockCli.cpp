#include "ClockCli.h"

#include "CliHelp.h"
#include "common/RuntimeError.h"
#include "VaroVersion.h"
#include "protocol/CommandTexts.h"
#include "protocol/ComputerClockReader.h"
#include "protocol/Frames.h"
#include "schedule/GroupRecord.h"
#include "schedule/TimeText.h"
#include "serial/LineSpeeds.h"
#include "serial/PortCatalog.h"
#include "serial/PortProbe.h"
#include "serial/SerialPortComponent.h"
#include "session/ClockSession.h"
#include "session/MissingAnswerText.h"
#include "settings_file/SettingsFile.h"
#include "settings_file/SettingsFileCheck.h"
#include "settings_file/SettingsFileStore.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QTextStream>

namespace {

using Command = CliArguments::Command;

// The file messages are the window's own, with what the path really is
// after the text of the window's dialogs; anything else gets the common
// error report.
QString fileMessage(const RuntimeError& error, const QString& noFileText) {
    return error.number() == ErrorNumber::PathFileAccessError
               ? noFileText + QStringLiteral(": ") + error.description()
               : CommandTexts::errorReport(error);
}

// ": line 3 of clock.txt: ..." for a settings file at fault; empty when the
// check finds nothing.
QString faultOf(const QByteArray& bytes, const QString& path) {
    const std::optional<SettingsFileCheck::Finding> fault = SettingsFileCheck::fault(bytes);
    return fault ? QStringLiteral(": line %1 of %2: %3").arg(fault->line).arg(path, fault->what) : QString();
}

// The exchange whose answer a command waits for.
ClockRequest::Kind requestKindOf(Command command) {
    switch (command) {
    case Command::Read:
        return ClockRequest::Kind::ReadSettings;
    case Command::Write:
        return ClockRequest::Kind::WriteSettings;
    default:
        return ClockRequest::Kind::TimeFrame;
    }
}

// The command line asks nobody: a step beyond --max-step is refused.
StepRule stepRule(const CliArguments& arguments) {
    StepRule rule;
    if (arguments.maxStep)
        rule.largestUnaskedUs = *arguments.maxStep * 1'000'000LL;
    return rule;
}

} // namespace

CliStatus ClockCli::run(const QStringList& arguments) {
    const CliArguments parsed = CliArguments::parse(arguments);
    if (parsed.usageError.isEmpty() && parsed.command == Command::Help) {
        *m_seams.out << CliHelp::text();
        m_seams.out->flush();
        return CliStatus::Ok;
    }
    if (parsed.usageError.isEmpty() && parsed.command == Command::Version) {
        *m_seams.out << "varo-clock-cli " << QStringLiteral(VARO_VERSION) << '\n';
        m_seams.out->flush();
        return CliStatus::Ok;
    }

    m_json = parsed.json;
    if (!parsed.commandName.isEmpty())
        m_report.insert(QStringLiteral("command"), parsed.commandName);
    CliStatus status = CliStatus::Ok;
    try {
        try {
            if (!parsed.usageError.isEmpty())
                throw Failure{CliStatus::Usage, QStringLiteral("varo-clock-cli: ") + parsed.usageError};
            execute(parsed);
        } catch (const RuntimeError& error) {
            throw Failure{exitStatusOf(error), CommandTexts::errorReport(error)};
        }
    } catch (const Failure& failure) {
        status = failure.status;
        *m_seams.err << failure.message << '\n';
        if (status == CliStatus::Usage)
            *m_seams.err << "(varo-clock-cli --help lists the commands)\n";
        m_seams.err->flush();
        m_report.insert(QStringLiteral("error"), failure.message);
    }
    if (m_json) {
        if (!m_warnings.isEmpty())
            m_report.insert(QStringLiteral("warnings"), m_warnings);
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
    if (arguments.command == Command::Ports)
        return listPorts();
    if (arguments.command == Command::Status)
        return reportStatus(arguments);
    // Nothing goes out when the clock the master clock would be set from is not right.
    if (arguments.requireSync)
        requireSynchronized(reportComputerClock());
    // A settings file is checked before the line is touched.
    std::optional<SettingsToWrite> settings;
    if (arguments.command == Command::Write)
        settings = settingsToWrite(arguments.file);

    SerialPortComponent port(m_seams.serialDevices);
    ClockSession session(port, *m_seams.clock, m_seams.ports);
    openPort(session, arguments);
    // No usable port: the window's report for a closed port.
    port.requireOpen();
    if (arguments.command == Command::Gps)
        return sendGps(session, arguments);
    runExchange(session, arguments, settings);
}

ClockCli::SettingsToWrite ClockCli::settingsToWrite(const QString& path) {
    QByteArray bytes;
    std::optional<ClockSchedule> schedule;
    try {
        bytes = SettingsFileStore::load(path);
        schedule = SettingsFileStore::scheduleOf(bytes, path);
    } catch (const RuntimeError& error) {
        throw Failure{exitStatusOf(error), fileMessage(error, SettingsFile::kChooseFile)};
    }
    if (!schedule)
        throw Failure{CliStatus::FileNotLoaded, SettingsFile::kCannotLoad + faultOf(bytes, path)};
    // The file's texts travel as the window sends its boxes: converted, or
    // the type mismatch of the first that is no time.
    SettingsToWrite settings{schedule->ClockNumber, {}};
    try {
        settings.records = GroupRecord::encodeRows(schedule->rows);
    } catch (const RuntimeError& error) {
        throw Failure{exitStatusOf(error), CommandTexts::errorReport(error) + faultOf(bytes, path)};
    }
    for (const SettingsFileCheck::Finding& loose : SettingsFileCheck::looseFlags(bytes))
        warn(QStringLiteral("line %1 of %2: %3").arg(loose.line).arg(path, loose.what));
    return settings;
}

void ClockCli::openPort(ClockSession& session, const CliArguments& arguments) {
    std::optional<PortChoice> choice;
    if (!arguments.port.isEmpty())
        choice = PortChoice::fromText(arguments.port);
    try {
        session.port().setSettings(LineSpeeds::settingsText(arguments.baudRate));
        // The one port that is there, never a guess between several.
        if (!choice) {
            const QList<int> present = PortProbe::presentPorts(session.port());
            if (present.size() > 1) {
                QStringList named;
                for (const int number : present)
                    named << QStringLiteral("%1 (%2)").arg(PortChoice::listed(number).name(),
                                                           m_seams.ports->locationOfPort(number));
                throw Failure{CliStatus::Usage,
                              QStringLiteral("varo-clock-cli: %1 ports are there; name one with --port: %2")
                                  .arg(present.size())
                                  .arg(named.join(QStringLiteral(", ")))};
            }
            if (!present.isEmpty())
                choice = PortChoice::listed(present.first());
        }
        if (choice)
            session.openPort(*choice);
    } catch (const RuntimeError& error) {
        throw Failure{exitStatusOf(error), CommandTexts::portError(error)};
    }
    if (choice) {
        m_report.insert(QStringLiteral("port"), choice->device);
        if (choice->number > 0)
            m_report.insert(QStringLiteral("portName"), choice->name());
    }
}

void ClockCli::runExchange(ClockSession& session, const CliArguments& arguments,
                           const std::optional<SettingsToWrite>& settings) {
    const std::optional<ClockSession::LineHold> hold = session.holdLine();
    const int clockIndex = arguments.clockNumber - 1;
    const auto shown = [this](const ClockOutcome& written) {
        if (!written.error)
            sent(Frames::hexText(written.sent));
    };
    ClockOutcome outcome;
    switch (arguments.command) {
    case Command::SetTime:
        outcome = session.run(ClockRequest::setTime(arguments.typedTime), *hold);
        break;
    case Command::Countdown:
        outcome = session.run(ClockRequest::countdown(clockIndex, arguments.countdownStart), *hold);
        break;
    case Command::Read:
        outcome = session.run(ClockRequest::readSettings(clockIndex), *hold, shown);
        break;
    case Command::Write:
        m_report.insert(QStringLiteral("clock"), settings->clockNumber);
        outcome = session.run(ClockRequest::writeSettings(settings->clockNumber - 1,
                                                          [records = settings->records] { return records; }),
                              *hold, [this](const ClockOutcome& written) {
                                  if (written.error)
                                      return;
                                  const auto [first, second] = Frames::writeFrameLines(written.sent);
                                  sent(first + QLatin1Char(' ') + second);
                              });
        break;
    default:
        outcome = session.syncComputerClock(*m_seams.clockSetter, *hold, stepRule(arguments));
        break;
    }
    report(arguments, outcome);
}

void ClockCli::report(const CliArguments& arguments, const ClockOutcome& outcome) {
    received(outcome.received);
    const Command command = arguments.command;
    if (outcome.done() && command == Command::SetTime)
        say(QStringLiteral("frameText"), outcome.frameText, QStringLiteral("text ") + outcome.frameText);
    if (outcome.done() && command == Command::Countdown)
        say(QStringLiteral("remaining"), outcome.frameText, QStringLiteral("remaining ") + outcome.frameText);
    if ((command == Command::SetTime || command == Command::Countdown) && outcome.done())
        sent(Frames::hexText(outcome.sent));
    if (command == Command::SyncComputer &&
        (outcome.done() || outcome.status == ClockOutcome::Status::ClockNotSet ||
         outcome.status == ClockOutcome::Status::StepRefused)) {
        const QString time = TimeText::format(outcome.clockTime);
        say(QStringLiteral("time"), time, QStringLiteral("time ") + time);
    }

    // A write whose answer came late or cut short may well have been stored.
    const QString readBack =
        QStringLiteral("; the master clock may have stored the groups all the same: read them back with "
                       "varo-clock-cli --port %1 read --clock %2")
            .arg(m_report
                     .value(m_report.contains(QStringLiteral("portName")) ? QStringLiteral("portName")
                                                                          : QStringLiteral("port"))
                     .toString())
            .arg(m_report.value(QStringLiteral("clock")).toInt());
    switch (outcome.status) {
    case ClockOutcome::Status::Done:
        break;
    case ClockOutcome::Status::NoAnswer:
        throw Failure{exitStatusOf(outcome),
                      missingAnswerText(requestKindOf(command), outcome) +
                          (command == Command::Write ? QStringLiteral(" in time") + readBack : QString())};
    case ClockOutcome::Status::ForeignAnswer:
        throw Failure{exitStatusOf(outcome), missingAnswerText(requestKindOf(command), outcome)};
    case ClockOutcome::Status::StepRefused:
        throw Failure{exitStatusOf(outcome),
                      QStringLiteral("The computer's clock would move by %1, more than the %2 s allowed: "
                                     "nothing was set (--max-step SECONDS allows more)")
                          .arg(CommandTexts::clockStep(outcome.offsetUs))
                          .arg(stepRule(arguments).largestUnaskedUs / 1'000'000)};
    case ClockOutcome::Status::ShortAnswer:
        if (command == Command::Write)
            throw Failure{exitStatusOf(outcome),
                          CommandTexts::errorReport(
                              RuntimeError(ErrorNumber::SubscriptOutOfRange,
                                           Frames::shortAnswerText(outcome.received.size()) + readBack))};
        [[fallthrough]];
    default:
        throw Failure{exitStatusOf(outcome), CommandTexts::errorReport(*outcome.error)};
    }

    switch (command) {
    case Command::Read:
        return reportSettings(arguments, outcome);
    case Command::Write:
        return say(QStringLiteral("message"), CommandTexts::kWriteSuccess, CommandTexts::kWriteSuccess);
    case Command::SyncComputer:
        return say(QStringLiteral("message"), CommandTexts::kSynchronizeSuccess,
                   CommandTexts::kSynchronizeSuccess);
    default:
        return;
    }
}

void ClockCli::reportSettings(const CliArguments& arguments, const ClockOutcome& outcome) {
    const QByteArray file = SettingsFile::write(outcome.clockIndex + 1, outcome.rows);
    m_report.insert(QStringLiteral("clock"), outcome.clockIndex + 1);
    m_report.insert(QStringLiteral("file"), QString::fromLatin1(file));
    if (!arguments.file.isEmpty()) {
        try {
            SettingsFileStore::save(arguments.file, file);
        } catch (const RuntimeError& error) {
            throw Failure{exitStatusOf(error), fileMessage(error, SettingsFile::kNoFileName)};
        }
        m_report.insert(QStringLiteral("savedTo"), arguments.file);
    }
    say(QStringLiteral("message"), CommandTexts::kReadSuccess, CommandTexts::kReadSuccess);
    if (!m_json && arguments.file.isEmpty())
        *m_seams.out << QString::fromLatin1(file);
}

void ClockCli::sendGps(ClockSession& session, const CliArguments& arguments) {
    RmcStream& stream = session.gpsStream();
    std::optional<RuntimeError> failure;
    QEventLoop loop;
    QObject::connect(&stream, &RmcStream::sent, &loop, [this](const RmcSentence& sentence) {
        sent(QString::fromLatin1(sentence.bytes).trimmed());
    });
    QObject::connect(&stream, &RmcStream::failed, &loop, [&](const RuntimeError& error) { failure = error; });
    // The device went away between two sentences: the stream ends with the port.
    QObject::connect(&session.port(), &SerialPortComponent::lineLost, &loop,
                     [&](const RuntimeError& error) { failure = error; });
    QObject::connect(&stream, &RmcStream::stopped, &loop, &QEventLoop::quit);
    stream.start(arguments.gpsStatus, arguments.gpsSeconds);
    loop.exec();
    if (failure)
        throw *failure;
}

void ClockCli::listPorts() {
    SerialPortComponent probe(m_seams.serialDevices);
    const QList<int> usable = PortProbe::usablePorts(probe);
    QStringList locations;
    for (const int number : usable)
        locations << m_seams.ports->locationOfPort(number);
    const QList<PortIdentity> identities = m_seams.ports->identify(locations);
    QJsonArray ports;
    for (qsizetype i = 0; i < usable.size(); ++i) {
        const QString name = PortChoice::listed(usable[i]).name();
        const QString description = identities[i].details();
        ports.append(QJsonObject{{QStringLiteral("port"), usable[i]},
                                 {QStringLiteral("name"), name},
                                 {QStringLiteral("device"), locations[i]},
                                 {QStringLiteral("description"), description}});
        if (!m_json)
            *m_seams.out << name << '\t' << locations[i] << '\t' << description << '\n';
    }
    m_report.insert(QStringLiteral("ports"), ports);
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

void ClockCli::warn(const QString& text) {
    m_warnings.append(text);
    *m_seams.err << "varo-clock-cli: warning: " << text << '\n';
}

void ClockCli::say(const QString& key, const QString& value, const QString& line) {
    m_report.insert(key, value);
    if (!m_json)
        *m_seams.out << line << '\n';
}
