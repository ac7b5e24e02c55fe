#include "MasterClock.h"

#include "FrameText.h"
#include "protocol/Frames.h"
#include "schedule/FormDefaults.h"
#include "schedule/GroupRecord.h"

#include <QStringList>

namespace {
constexpr quint8 kUnusedBit = 0x80; // bit 7 of a record's hour bytes, ignored when read
constexpr int kRecordsLength = Frames::Length::Settings - GroupRecord::kFirstOffset;

// The value of a packed BCD byte; nothing when a digit is above 9.
std::optional<int> bcdValue(quint8 byte) {
    if ((byte >> 4) > 9 || (byte & 0x0F) > 9)
        return std::nullopt;
    return (byte >> 4) * 10 + (byte & 0x0F);
}

std::optional<QTime> bcdTime(quint8 hours, quint8 minutes, quint8 seconds) {
    const auto h = bcdValue(hours), m = bcdValue(minutes), s = bcdValue(seconds);
    if (!h || !m || !s || !QTime::isValid(*h, *m, *s))
        return std::nullopt;
    return QTime(*h, *m, *s);
}

QString ignored(const QString& what, const QByteArray& frame) {
    return QStringLiteral("%1 ignored (%2)").arg(what, Frames::hexText(frame.left(2)));
}
} // namespace

MasterClock::MasterClock(const DeviceClock& clock, bool foreignAnswers)
    : m_clock(clock),
      m_foreignAnswers(foreignAnswers), m_records{formDefaultRecords(), formDefaultRecords()} {}

MasterClock::Reaction MasterClock::receive(const QByteArray& frame, qint64 atUs) {
    switch (quint8(frame.at(0))) {
    case Frames::Code::SetTime:
        return setTime(frame, atUs);
    case Frames::Code::ReadSettings:
        return readRequest(frame);
    case Frames::Code::WriteSettings:
        return write(frame);
    case Frames::Code::TemporaryCountdown:
        return countdown(frame, atUs);
    default:
        return {ignored(QStringLiteral("unknown command"), frame), {}, {}, false};
    }
}

MasterClock::Reaction MasterClock::setTime(const QByteArray& frame, qint64 atUs) {
    const auto byte = [&frame](int i) {
        return quint8(frame.at(i));
    };
    if (byte(1) != 0x00)
        return {ignored(QStringLiteral("set time with unknown byte 1"), frame), {}, {}, false};
    const auto year = bcdValue(byte(2)), month = bcdValue(byte(3)), day = bcdValue(byte(4));
    const int weekday = byte(5);
    const auto time = bcdTime(byte(6), byte(7), byte(8));
    if (!year || !month || !day || !QDate::isValid(2000 + *year, *month, *day) || weekday > 6 || !time)
        return {QStringLiteral("set time ignored: not a valid date, weekday and time"), {}, {}, false};
    const QDate date(2000 + *year, *month, *day);
    m_clock.set(date, *time, weekday, atUs);
    return {QStringLiteral("set time ") + FrameText::clockTime({date, *time, weekday}), {}, {}, true};
}

MasterClock::Reaction MasterClock::readRequest(const QByteArray& frame) {
    const auto index =
        Frames::answeredClockIndex(frame, Frames::Code::ReadSettings, Frames::ClockBase::ReadRequest);
    if (!index)
        return {ignored(QStringLiteral("read request for an unknown clock"), frame), {}, {}, false};
    const int clockNumber = *index + 1;
    return {QStringLiteral("read request clock %1").arg(clockNumber),
            answer(clockNumber, !m_foreignAnswers),
            {},
            false};
}

MasterClock::Reaction MasterClock::write(const QByteArray& frame) {
    const auto index =
        Frames::answeredClockIndex(frame, Frames::Code::WriteSettings, Frames::ClockBase::Write);
    if (!index)
        return {ignored(QStringLiteral("write for an unknown clock"), frame), {}, {}, false};
    const int clockNumber = *index + 1;
    QByteArray records = frame.mid(GroupRecord::kFirstOffset, kRecordsLength);
    QStringList clearedRows;
    for (int row = 1; row <= kGroupCount; ++row) {
        const int refreshHours = GroupRecord::kSize * (row - 1);
        const int lengthHours = refreshHours + 3;
        if ((quint8(records[refreshHours]) | quint8(records[lengthHours])) & kUnusedBit)
            clearedRows << QString::number(row);
        records[refreshHours] = char(quint8(records[refreshHours]) & ~kUnusedBit);
        records[lengthHours] = char(quint8(records[lengthHours]) & ~kUnusedBit);
    }
    m_records[*index] = records;
    QString text = QStringLiteral("write clock %1 ").arg(clockNumber) + FrameText::groups(records);
    if (!clearedRows.isEmpty())
        text += QStringLiteral(" (bit 7 cleared in rows %1)").arg(clearedRows.join(QLatin1Char(',')));
    return {text, answer(clockNumber, m_foreignAnswers), {}, false};
}

MasterClock::Reaction MasterClock::countdown(const QByteArray& frame, qint64 atUs) const {
    const auto index =
        Frames::answeredClockIndex(frame, Frames::Code::TemporaryCountdown, Frames::ClockBase::Countdown);
    if (!index)
        return {ignored(QStringLiteral("countdown for an unknown clock"), frame), {}, {}, false};
    const int clockNumber = *index + 1;
    const auto remaining = bcdTime(quint8(frame.at(2)), quint8(frame.at(3)), quint8(frame.at(4)));
    if (!remaining)
        return {
            QStringLiteral("countdown clock %1 ignored: not a valid time").arg(clockNumber), {}, {}, false};
    const qint64 remainingUs = qint64(remaining->msecsSinceStartOfDay()) * 1000;
    const QString target = FrameText::clockTime(m_clock.at(atUs + remainingUs));
    const QString text =
        QStringLiteral("countdown clock %1 %2 target %3")
            .arg(QString::number(clockNumber), remaining->toString(QStringLiteral("HH:mm:ss")), target);
    return {text, {}, Countdown{clockNumber, remainingUs, target}, false};
}

Outgoing MasterClock::answer(int clockNumber, bool settingsReply) const {
    QByteArray bytes;
    bytes.append(char(settingsReply ? Frames::Code::ReadSettings : Frames::Code::WriteSettings));
    bytes.append(char((settingsReply ? Frames::ClockBase::SettingsReply : Frames::ClockBase::WriteReply) +
                      clockNumber));
    bytes.append(m_records[clockNumber - 1]);
    const QString kind = settingsReply ? QStringLiteral("settings reply") : QStringLiteral("write reply");
    QString text = QStringLiteral("%1 clock %2 ").arg(kind).arg(clockNumber) +
                   FrameText::groups(m_records[clockNumber - 1]);
    if (m_foreignAnswers)
        text += QStringLiteral(" (foreign answer)");
    return {bytes, text};
}

Outgoing MasterClock::timeFrame(qint64 atUs) const {
    const DeviceClock::Reading reading = m_clock.at(atUs);
    QByteArray bytes = Frames::setTimeFrame(Frames::setTimeFrameText(reading.date, reading.time));
    bytes[5] = char(reading.weekday); // the weekday as set, which need not match the date
    return {bytes, QStringLiteral("clock time ") + FrameText::clockTime(reading)};
}
