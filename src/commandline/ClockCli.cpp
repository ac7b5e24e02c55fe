#include "ClockCli.h"

#include "CliHelp.h"
#include "VaroVersion.h"
#include "common/RuntimeError.h"
#include "protocol/CommandTexts.h"
#include "protocol/ComputerClockReader.h"
#include "protocol/Frames.h"
#include "serial/LineSpeeds.h"
#include "serial/PortCatalog.h"
#include "serial/PortProbe.h"
#include "serial/SerialPortComponent.h"
#include "session/ClockSession.h"
#include "session/OffsetModel.h"
#include "session/PortKeeper.h"
#include "settings_file/SettingsFile.h"
#include "settings_file/SettingsFileStore.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTextStream>
#include <algorithm>

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
    const ClockRequest request = requestOf(arguments);

    SerialPortComponent port(m_seams.serialDevices);
    ClockSession session(port, *m_seams.clock, m_seams.ports);
    openPort(session, arguments);
    // No usable port: the window's report for a closed port.
    port.requireOpen();
    runExchange(session, arguments, request);
}

ClockRequest ClockCli::requestOf(const CliArguments& arguments) {
    const ClockCommand& command = *arguments.clockCommand;
    CommandArguments given = arguments.given;
    for (const CommandArgument& argument : command.arguments)
        if (argument.input == CommandArgument::Input::SettingsFile)
            given.settings = settingsFile(arguments.file);
    given.clockSetter = m_seams.clockSetter;
    given.stepRule = stepRule(arguments);
    QString why;
    const std::optional<ClockRequest> request = command.request(given, &why);
    if (!request)
        throw Failure{CliStatus::Usage, QStringLiteral("varo-clock-cli: ") + why};
    if (given.settings)
        m_report.insert(QStringLiteral("clock"), given.settings->clockNumber);
    return *request;
}

SettingsFileText::Decoded ClockCli::settingsFile(const QString& path) {
    QByteArray bytes;
    try {
        bytes = SettingsFileStore::load(path);
    } catch (const RuntimeError& error) {
        throw Failure{exitStatusOf(error), fileMessage(error, SettingsFile::kChooseFile)};
    }
    const SettingsFileText::Decoded decoded = SettingsFileText::decode(bytes, path);
    if (decoded.refusal)
        throw Failure{decoded.refusal->error ? exitStatusOf(*decoded.refusal->error)
                                             : CliStatus::FileNotLoaded,
                      decoded.refusal->text(path)};
    for (const SettingsFileCheck::Finding& warning : decoded.warnings)
        warn(SettingsFileText::lineText(warning, path));
    return decoded;
}

void ClockCli::openPort(ClockSession& session, const CliArguments& arguments) {
    PortKeeper keeper(session, PortKeeper::Mode::Once, m_seams.ports);
    std::optional<PortChoice> choice;
    if (!arguments.port.isEmpty())
        choice = PortChoice::fromText(arguments.port);
    try {
        session.port().setSettings(LineSpeeds::settingsText(arguments.baudRate));
        // The one port that is there, never a guess between several.
        if (!choice) {
            const PortKeeper::OnePort found = keeper.onePort();
            if (!found.several.isEmpty()) {
                QStringList named;
                for (const PortChoice& port : found.several)
                    named << QStringLiteral("%1 (%2)").arg(port.name(), port.device);
                throw Failure{CliStatus::Usage,
                              QStringLiteral("varo-clock-cli: %1 ports are there; name one with --port: %2")
                                  .arg(found.several.size())
                                  .arg(named.join(QStringLiteral(", ")))};
            }
            choice = found.port;
        }
        if (choice)
            keeper.open(*choice);
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
                           const ClockRequest& request) {
    const ClockCommand& command = ClockCommands::of(request.kind);
    const auto written = [this, &command](const ClockOutcome& outcome) {
        if (outcome.error)
            return;
        sayFields(command, outcome);
        sent(command.frameShown(outcome.sent));
    };
    // gps --seconds N: one sentence after each of the next N boundaries.
    for (int run = 0; run < arguments.repeats; ++run) {
        // What the line said since the last sentence (its device gone) is
        // heard before the next.
        if (run > 0)
            QCoreApplication::processEvents();
        const std::optional<ClockSession::LineHold> hold = session.holdLine();
        const ClockOutcome outcome = session.run(request, *hold, written);
        received(outcome.received);
        for (const QString& warning : outcome.warnings)
            warn(warning);
        // What the answer brought; what the frame made was said with it.
        if (command.answer)
            sayFields(command, outcome);
        if (!outcome.done())
            reportFailure(arguments, request, outcome);
        if (run + 1 == arguments.repeats)
            reportDone(arguments, outcome);
    }
}

void ClockCli::reportFailure(const CliArguments& arguments, const ClockRequest& request,
                             const ClockOutcome& outcome) {
    const ClockCommand& command = ClockCommands::of(request.kind);
    // A frame whose answer came late or cut short may well have been taken.
    const QString readBack =
        command.mayTakeUnanswered
            ? QStringLiteral(
                  "; the master clock may have stored the groups all the same: read them back with "
                  "varo-clock-cli --port %1 read --clock %2")
                  .arg(m_report
                           .value(m_report.contains(QStringLiteral("portName")) ? QStringLiteral("portName")
                                                                                : QStringLiteral("port"))
                           .toString())
                  .arg(request.clockIndex + 1)
            : QString();
    switch (outcome.status) {
    case ClockOutcome::Status::Done:
        return;
    case ClockOutcome::Status::NoAnswer:
        throw Failure{exitStatusOf(outcome),
                      command.missingAnswerText(outcome) +
                          (readBack.isEmpty() ? QString() : QStringLiteral(" in time")) + readBack};
    case ClockOutcome::Status::ForeignAnswer:
        throw Failure{exitStatusOf(outcome), command.missingAnswerText(outcome)};
    case ClockOutcome::Status::StepRefused:
        throw Failure{exitStatusOf(outcome),
                      QStringLiteral("The computer's clock would move by %1, more than the %2 s allowed: "
                                     "nothing was set (--max-step SECONDS allows more)")
                          .arg(CommandTexts::clockStep(OffsetModel::timeOfDayPart(outcome.offsetUs)))
                          .arg(stepRule(arguments).largestUnaskedUs / 1'000'000)};
    case ClockOutcome::Status::ShortAnswer:
        if (!readBack.isEmpty())
            throw Failure{exitStatusOf(outcome),
                          CommandTexts::errorReport(
                              RuntimeError(ErrorNumber::SubscriptOutOfRange,
                                           Frames::shortAnswerText(outcome.received.size()) + readBack))};
        break;
    case ClockOutcome::Status::Failed:
        // The line failed after the frame went out.
        if (outcome.frameWentOut && !readBack.isEmpty())
            throw Failure{exitStatusOf(outcome), CommandTexts::errorReport(*outcome.error) + readBack};
        break;
    case ClockOutcome::Status::InvalidAnswer:
    case ClockOutcome::Status::ClockNotSet:
    case ClockOutcome::Status::Cancelled:
        break;
    }
    throw Failure{exitStatusOf(outcome), outcome.error ? CommandTexts::errorReport(*outcome.error)
                                                       : ClockOutcome::statusName(outcome.status)};
}

void ClockCli::reportDone(const CliArguments& arguments, const ClockOutcome& outcome) {
    const ClockCommand& command = *arguments.clockCommand;
    QString file;
    for (const ClockCommand::Field& field : command.fields(outcome))
        if (field.label.isEmpty()) {
            m_report.insert(field.name, QJsonValue::fromVariant(field.value));
            if (field.name == QLatin1String("file"))
                file = field.value.toString();
        }
    // Groups read, not written from a file, are printed or saved with --out.
    const bool sentFile = std::any_of(command.arguments.cbegin(), command.arguments.cend(),
                                      [](const CommandArgument& argument) {
                                          return argument.input == CommandArgument::Input::SettingsFile;
                                      });
    const bool readFile = !file.isEmpty() && !sentFile;
    if (readFile && !arguments.file.isEmpty()) {
        try {
            SettingsFileStore::save(arguments.file, file.toLatin1());
        } catch (const RuntimeError& error) {
            throw Failure{exitStatusOf(error), fileMessage(error, SettingsFile::kNoFileName)};
        }
        m_report.insert(QStringLiteral("savedTo"), arguments.file);
    }
    if (!command.doneText.isEmpty())
        say(QStringLiteral("message"), command.doneText, command.doneText);
    if (readFile && arguments.file.isEmpty() && !m_json)
        *m_seams.out << file;
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

void ClockCli::sayFields(const ClockCommand& command, const ClockOutcome& outcome) {
    for (const ClockCommand::Field& field : command.fields(outcome))
        if (!field.label.isEmpty() && !m_said.contains(field.name)) {
            m_said << field.name;
            say(field.name, field.value.toString(), field.label + QLatin1Char(' ') + field.value.toString());
        }
}

void ClockCli::say(const QString& key, const QString& value, const QString& line) {
    m_report.insert(key, value);
    if (!m_json)
        *m_seams.out << line << '\n';
}
