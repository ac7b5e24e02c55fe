#pragma once

#include <QString>

class RuntimeError;

// The texts the clock commands report with, the same in the window and on the
// command line.
namespace CommandTexts {

inline const QString kReadSuccess = QStringLiteral("Read success!");
inline const QString kWriteSuccess = QStringLiteral("Write success!");
inline const QString kSynchronizeSuccess = QStringLiteral("Synchronize success!");

// The common error report: "Writing Error <number>:<description>".
QString errorReport(const RuntimeError& error);

// The port list's report: "<number>: <description>".
QString portError(const RuntimeError& error);

} // namespace CommandTexts
