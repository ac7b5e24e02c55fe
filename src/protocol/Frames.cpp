#include "Frames.h"

#include "common/RuntimeError.h"
#include "schedule/GroupRecord.h"

#include <QStringList>

namespace Frames {

namespace {
// The century of the frames' two-digit years.
constexpr int kCentury = 2000;

int digitValue(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ? c.unicode() - '0' : 0;
}

// The two-digit rule on 1-based character positions of a frame text.
char fieldAt(const QString& text, int tensPosition) {
    const QChar tens = tensPosition <= text.size() ? text.at(tensPosition - 1) : QChar();
    const QChar units = tensPosition + 1 <= text.size() ? text.at(tensPosition) : QChar();
    return char(twoDigit(tens, units));
}
} // namespace

quint8 twoDigit(QChar tens, QChar units) {
    return quint8(digitValue(tens) * 16 + digitValue(units));
}

QString byteText(quint8 byte) {
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

QString hexText(const QByteArray& frame) {
    return QString::fromLatin1(frame.toHex().toUpper());
}

quint8 clockByte(quint8 base, int clockListIndex) {
    if (clockListIndex < 0 || clockListIndex > 0xFF - base - 1)
        throw RuntimeError(
            ErrorNumber::Overflow,
            QStringLiteral("Overflow: choose 倒计时钟1 or 倒计时钟2 in the countdown clock list"));
    return quint8(base + clockListIndex + 1);
}

QString setTimeFrameText(const QDate& date, const QTime& time) {
    const int weekday = date.dayOfWeek() % 7; // Qt: Monday 1 .. Sunday 7
    return date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(',') + QString::number(weekday) +
           QLatin1Char(',') + time.toString(QStringLiteral("HH:mm:ss"));
}

QByteArray request(const CommandTable::Command& command, int clockListIndex, const QByteArray& fields) {
    const CommandTable::FrameShape& shape = command.request;
    QByteArray frame;
    frame.reserve(shape.length);
    frame.append(char(shape.code));
    frame.append(char(shape.namesClock ? clockByte(shape.byte1, clockListIndex) : shape.byte1));
    frame.append(fields);
    Q_ASSERT(frame.size() == shape.length);
    return frame;
}

QByteArray setTimeFrame(const QString& frameText) {
    QByteArray fields;
    fields.append(fieldAt(frameText, 3));                                           // year within the century
    fields.append(fieldAt(frameText, 6));                                           // month
    fields.append(fieldAt(frameText, 9));                                           // day
    fields.append(char(frameText.size() >= 12 ? digitValue(frameText.at(11)) : 0)); // weekday, plain value
    fields.append(fieldAt(frameText, 14));                                          // hours
    fields.append(fieldAt(frameText, 17));                                          // minutes
    fields.append(fieldAt(frameText, 20));                                          // seconds
    return request(CommandTable::kSetTime, -1, fields); // the frame names no clock
}

QByteArray countdownFrame(int clockListIndex, const QString& remainingText) {
    QByteArray fields;
    for (const int tensPosition : {1, 4, 7}) // hours, minutes, seconds
        fields.append(fieldAt(remainingText, tensPosition));
    return request(CommandTable::kTemporaryCountdown, clockListIndex, fields);
}

QByteArray readRequest(int clockListIndex) {
    return request(CommandTable::kReadSettings, clockListIndex, {});
}

QByteArray writeFrame(int clockListIndex, const QByteArray& records) {
    return request(CommandTable::kWriteSettings, clockListIndex, records);
}

std::pair<QString, QString> writeFrameLines(const QByteArray& frame) {
    const auto rowBlock = [&frame](int row) {
        return hexText(frame.mid(GroupRecord::offsetOfRow(row), GroupRecord::kSize));
    };
    QStringList first{hexText(frame.left(GroupRecord::kFirstOffset))};
    QStringList second;
    for (int row = 1; row <= 4; ++row)
        first << rowBlock(row);
    for (int row = 5; row <= 8; ++row)
        second << rowBlock(row);
    return {first.join(QLatin1Char(' ')), second.join(QLatin1Char(' '))};
}

std::optional<int> answeredClockIndex(const QByteArray& answer, quint8 command, quint8 base) {
    if (answer.size() < 2 || quint8(answer[0]) != command)
        return std::nullopt;
    const quint8 clock = quint8(answer[1]);
    if (clock != base + 1 && clock != base + 2)
        return std::nullopt;
    return clock - base - 1;
}

QString shortAnswerText(qsizetype held) {
    return QStringLiteral("Subscript out of range: the master clock's answer held only %1 of its %2 bytes")
        .arg(held)
        .arg(Length::Settings);
}

GroupRows replyRows(const QByteArray& answer) {
    if (answer.size() < Length::Settings)
        throw RuntimeError(ErrorNumber::SubscriptOutOfRange,
                           shortAnswerText(answer.size()) + QStringLiteral("; nothing was changed"));
    GroupRows rows;
    for (int row = 1; row <= kGroupCount; ++row)
        rows[row - 1] = GroupRecord::decode(answer.mid(GroupRecord::offsetOfRow(row), GroupRecord::kSize));
    return rows;
}

std::optional<QString> clockTimeText(const QByteArray& frame) {
    if (frame.size() != Length::ClockTime || quint8(frame[0]) != CommandTable::kClockTime.frame.code ||
        quint8(frame[1]) != CommandTable::kClockTime.frame.byte1)
        return std::nullopt;
    const auto field = [&frame](int i) {
        return QString::number(quint8(frame[i]), 16).toUpper();
    };
    return field(6) + QLatin1Char(':') + field(7) + QLatin1Char(':') + field(8);
}

std::optional<QDate> clockDate(const QByteArray& frame) {
    if (!clockTimeText(frame))
        return std::nullopt;
    int fields[3];
    for (int i = 0; i < 3; ++i) {
        const quint8 byte = quint8(frame[2 + i]);
        if ((byte >> 4) > 9 || (byte & 0x0F) > 9)
            return std::nullopt;
        fields[i] = (byte >> 4) * 10 + (byte & 0x0F);
    }
    const QDate date(kCentury + fields[0], fields[1], fields[2]);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

} // namespace Frames
