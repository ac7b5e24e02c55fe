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

// A step of the computer's clock to the nearest second: "+7 h 36 min 12 s",
// "-1 min 5 s", "+42 s".
QString clockStep(qint64 offsetUs);

// The window's question before a large step: "The computer's clock would
// move by +7 h 36 min 12 s. Set it?"
QString stepQuestion(qint64 offsetUs);

} // namespace CommandTexts
