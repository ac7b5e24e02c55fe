#pragma once

#include "CommandTable.h"
#include "schedule/GroupRow.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>
#include <utility>

// The frames exchanged with the master clock: byte 0 names the command, byte 1
// qualifies it (for a countdown clock: a base plus the clock number 1 or 2).
// Two-digit fields travel as packed BCD; there is no checksum or terminator.
namespace Frames {

// Names for the codes, bases, lengths and limits of CommandTable.
namespace Code {
constexpr quint8 SetTime = CommandTable::kSetTime.request.code;
constexpr quint8 ReadSettings = CommandTable::kReadSettings.request.code;
constexpr quint8 WriteSettings = CommandTable::kWriteSettings.request.code;
constexpr quint8 TemporaryCountdown = CommandTable::kTemporaryCountdown.request.code;
} // namespace Code

namespace ClockBase {
constexpr quint8 Countdown = CommandTable::kTemporaryCountdown.request.byte1;
constexpr quint8 ReadRequest = CommandTable::kReadSettings.request.byte1;
constexpr quint8 Write = CommandTable::kWriteSettings.request.byte1;
constexpr quint8 SettingsReply = CommandTable::kReadSettings.answer->frame.byte1;
constexpr quint8 WriteReply = CommandTable::kWriteSettings.answer->frame.byte1;
} // namespace ClockBase

namespace Length {
constexpr int SetTime = CommandTable::kSetTime.request.length;
constexpr int Countdown = CommandTable::kTemporaryCountdown.request.length;
constexpr int ReadRequest = CommandTable::kReadSettings.request.length;
// The write frame, the write reply and the settings reply.
constexpr int Settings = CommandTable::kWriteSettings.request.length;
static_assert(Settings == CommandTable::kWriteSettings.answer->frame.length &&
              Settings == CommandTable::kReadSettings.answer->frame.length);
constexpr int ClockTime = CommandTable::kClockTime.frame.length; // the master clock's own time frame
} // namespace Length

// How long a command waits for its answer, in whole seconds of the clock.
namespace AnswerLimit {
constexpr int Settings = CommandTable::kWriteSettings.answer->limitSeconds; // settings write and read
static_assert(Settings == CommandTable::kReadSettings.answer->limitSeconds);
constexpr int ClockTime = CommandTable::kClockTime.limitSeconds; // the master clock's time frame
} // namespace AnswerLimit

// value(tens) * 16 + value(units); a character that is not a digit counts 0.
quint8 twoDigit(QChar tens, QChar units);

// A byte as two upper-case hexadecimal characters ("0F").
QString byteText(quint8 byte);

// Every byte's two-character form, joined without separator.
QString hexText(const QByteArray& frame);

// Byte 1 for the countdown clock at Combo2's list index; no selection (-1)
// raises error 6 "Overflow", as converting -1 to a byte does.
quint8 clockByte(quint8 base, int clockListIndex);

// "yyyy-mm-dd,w,hh:nn:ss" with the weekday digit 0 (Sunday) to 6 (Saturday).
QString setTimeFrameText(const QDate& date, const QTime& time);

// The 9-byte set-time frame from its 21-character frame text.
QByteArray setTimeFrame(const QString& frameText);

// A command's request: its code, byte 1 (for a command that names a clock: the
// clock at Combo2's list index, as clockByte makes it) and then `fields`.
QByteArray request(const CommandTable::Command& command, int clockListIndex, const QByteArray& fields);

// The 5-byte temporary countdown frame from the remaining time "hh:nn:ss".
QByteArray countdownFrame(int clockListIndex, const QString& remainingText);

// The 2-byte settings read request.
QByteArray readRequest(int clockListIndex);

// The 50-byte write frame: command, clock byte and eight 6-byte group records.
QByteArray writeFrame(int clockListIndex, const QByteArray& records);

// The write frame's hex text in blocks, split over two display lines:
// "CCB1 <row1> <row2> <row3> <row4>" and "<row5> <row6> <row7> <row8>".
std::pair<QString, QString> writeFrameLines(const QByteArray& frame);

// The countdown clock list index (0 or 1) an answer names when its bytes 0 and
// 1 are `command` and base + 1 or base + 2; nothing for a short or foreign answer.
std::optional<int> answeredClockIndex(const QByteArray& answer, quint8 command, quint8 base);

// The eight groups of a settings reply or a write reply whose first two bytes
// were accepted. An answer cut short raises error 9 "Subscript out of range":
// half the groups would pass for settings the master clock holds.
GroupRows replyRows(const QByteArray& answer);
// What error 9 says of a settings answer that holds only `held` bytes.
QString shortAnswerText(qsizetype held);

// The master clock's own time frame as the computer clock synchronization
// takes it: a read of exactly nine bytes that starts AA 00 gives the text of
// bytes 6 to 8, each in upper-case hexadecimal without leading zero, joined by
// ':' (09 05 07 gives "9:5:7"; a byte that is not BCD gives a text that is no
// time). Any other read gives nothing.
std::optional<QString> clockTimeText(const QByteArray& frame);

// The date the master clock's time frame names in bytes 2 to 4 (year within
// the century, month, day; packed BCD): nothing for a read that clockTimeText
// does not take, or bytes that are no date.
std::optional<QDate> clockDate(const QByteArray& frame);

} // namespace Frames
