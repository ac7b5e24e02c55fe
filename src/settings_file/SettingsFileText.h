#pragma once

#include "SettingsFileCheck.h"
#include "common/RuntimeError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// A settings file's text as a caller sends it to the master clock (the
// command line's file, the service's body): the countdown clock and the
// eight group records it makes, the lines that load all the same but may not
// say what their writer meant, and, when nothing can be sent, why, named by
// its line. Every front-end that takes such a text decodes it here, so that
// the same text gets the same verdict everywhere.
namespace SettingsFileText {

struct Refusal {
    // The common error report's error (a file that ends early, a time that is
    // no time); none when the header names no countdown clock, which says
    // SettingsFile::kCannotLoad.
    std::optional<RuntimeError> error;
    std::optional<SettingsFileCheck::Finding> line; // the line at fault, where one is

    // "设置无法装载" or "Writing Error 13:...", then ": line 4 of <source>: ..."
    // (": line 4: ..." without a source).
    QString text(const QString& source = QString()) const;
};

struct Decoded {
    int clockNumber = 0; // 1 or 2, as the header names it
    QByteArray records;  // the eight group records the write frame carries
    QList<SettingsFileCheck::Finding> warnings;
    std::optional<Refusal> refusal; // nothing is sent when set
};

// `source` names the text in a refusal: a path, or "the body".
Decoded decode(const QByteArray& bytes, const QString& source);

// "line 3 of <source>: ..." ("line 3: ..." without a source).
QString lineText(const SettingsFileCheck::Finding& finding, const QString& source = QString());

} // namespace SettingsFileText
