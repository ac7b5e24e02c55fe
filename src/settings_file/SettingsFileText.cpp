#include "SettingsFileText.h"

#include "SettingsFile.h"
#include "protocol/CommandTexts.h"
#include "schedule/GroupRecord.h"

namespace SettingsFileText {

QString Refusal::text(const QString& source) const {
    const QString message = error ? CommandTexts::errorReport(*error) : SettingsFile::kCannotLoad;
    return line ? message + QStringLiteral(": ") + lineText(*line, source) : message;
}

Decoded decode(const QByteArray& bytes, const QString& source) {
    Decoded decoded;
    const SettingsFile::Loaded loaded = SettingsFile::read(bytes);
    switch (loaded.status) {
    case SettingsFile::Loaded::Status::BadHeader:
        decoded.refusal = Refusal{std::nullopt, SettingsFileCheck::fault(bytes)};
        return decoded;
    case SettingsFile::Loaded::Status::EndsEarly:
        decoded.refusal =
            Refusal{RuntimeError(ErrorNumber::InputPastEndOfFile,
                                 QStringLiteral(
                                     "Input past end of file: %1 holds %2 of its 9 lines; nothing was loaded")
                                     .arg(source)
                                     .arg(loaded.linesFound)),
                    std::nullopt};
        return decoded;
    case SettingsFile::Loaded::Status::Ok:
        break;
    }
    // The texts travel as the window sends its boxes: converted, or the type
    // mismatch of the first that is no time.
    try {
        decoded.records = GroupRecord::encodeRows(loaded.schedule.rows);
    } catch (const RuntimeError& error) {
        decoded.refusal = Refusal{error, SettingsFileCheck::fault(bytes)};
        return decoded;
    }
    decoded.clockNumber = loaded.schedule.ClockNumber;
    decoded.warnings = SettingsFileCheck::looseFlags(bytes);
    if (const std::optional<SettingsFileCheck::Finding> beyond = SettingsFileCheck::beyondLastLine(bytes))
        decoded.warnings << *beyond;
    return decoded;
}

QString lineText(const SettingsFileCheck::Finding& finding, const QString& source) {
    return source.isEmpty() ? QStringLiteral("line %1: %2").arg(finding.line).arg(finding.what)
                            : QStringLiteral("line %1 of %2: %3").arg(finding.line).arg(source, finding.what);
}

} // namespace SettingsFileText
