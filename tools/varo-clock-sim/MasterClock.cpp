#include "MasterClock.h"

#include "Bcd.h"
#include "ClockFrames.h"
#include "FrameLog.h"
#include "FrameText.h"

#include <QStringList>

using namespace ClockProtocol;

namespace {
constexpr quint8 kUnusedBit = 0x80; // bit 7 of a record's hour bytes, ignored when read
constexpr int kRecordsLength = kGroupCount * kRecordSize;

// Both countdown clocks start with the window's form defaults.
const QByteArray kDefaultRecords = QByteArray::fromHex("070000480000073000003000093000510000103000003000"
                                                       "113000003000601500004500540000410000163000020000");

QString ignored(const QString& what, const QByteArray& frame) {
    return QStringLiteral("%1 ignored (%2)").arg(what, FrameLog::hexText(frame.left(2)));
}
} // namespace

MasterClock::MasterClock(const DeviceClock& clock, bool foreignAnswers, bool ignoresSetTime)
    : m_clock(clock), m_foreignAnswers(foreignAnswers),
      m_ignoresSetTime(ignoresSetTime), m_records{kDefaultRecords, kDefaultRecords} {}

MasterClock::Reaction MasterClock::receive(const QByteArray& frame, qint64 atUs) {
    switch (quint8(frame.at(0))) {
    case kSetTime.request.code:
        return setTime(frame, atUs);
    case kReadSettings.request.code:
        return readRequest(frame);
    case kWriteSettings.request.code:
        return write(frame);
    case kCountdown.request.code:
        return countdown(frame, atUs);
    default:
        return {ignored(QStringLiteral("unknown command"), frame), {}, {}, false};
    }
}

MasterClock::Reaction MasterClock::setTime(const QByteArray& frame, qint64 atUs) {
    if (quint8(frame.at(1)) != kSetTime.request.byte1)
        return {ignored(QStringLiteral("set time with unknown byte 1"), frame), {}, {}, false};
    const std::optional<DeviceClock::Reading> reading = ClockFrames::clockTime(frame);
    if (!reading)
        return {QStringLiteral("set time ignored: not a valid date, weekday and time"), {}, {}, false};
    if (m_ignoresSetTime)
        return {QStringLiteral("set time ") + FrameText::clockTime(*reading) +
                    QStringLiteral(" ignored (--ignore-set-time)"),
                {},
                {},
                false};
    m_clock.set(reading->date, reading->time, reading->weekday, atUs);
    return {QStringLiteral("set time ") + FrameText::clockTime(*reading), {}, {}, true};
}

MasterClock::Reaction MasterClock::readRequest(const QByteArray& frame) {
    const std::optional<int> clockNumber = ClockFrames::clockNumber(frame, kReadSettings.request);
    if (!clockNumber)
        return {ignored(QStringLiteral("read request for an unknown clock"), frame), {}, {}, false};
    return {QStringLiteral("read request clock %1").arg(*clockNumber),
            answer(*clockNumber, !m_foreignAnswers),
            {},
            false};
}

MasterClock::Reaction MasterClock::write(const QByteArray& frame) {
    const std::optional<int> clockNumber = ClockFrames::clockNumber(frame, kWriteSettings.request);
    if (!clockNumber)
        return {ignored(QStringLiteral("write for an unknown clock"), frame), {}, {}, false};
    QByteArray records = frame.mid(kRecordsOffset, kRecordsLength);
    QStringList clearedRows;
    for (int row = 1; row <= kGroupCount; ++row) {
        const int refreshHours = kRecordSize * (row - 1);
        const int lengthHours = refreshHours + 3;
        if ((quint8(records[refreshHours]) | quint8(records[lengthHours])) & kUnusedBit)
            clearedRows << QString::number(row);
        records[refreshHours] = char(quint8(records[refreshHours]) & ~kUnusedBit);
        records[lengthHours] = char(quint8(records[lengthHours]) & ~kUnusedBit);
    }
    m_records[*clockNumber - 1] = records;
    QString text = QStringLiteral("write clock %1 ").arg(*clockNumber) + FrameText::groups(records);
    if (!clearedRows.isEmpty())
        text += QStringLiteral(" (bit 7 cleared in rows %1)").arg(clearedRows.join(QLatin1Char(',')));
    return {text, answer(*clockNumber, m_foreignAnswers), {}, false};
}

MasterClock::Reaction MasterClock::countdown(const QByteArray& frame, qint64 atUs) const {
    const std::optional<int> clockNumber = ClockFrames::clockNumber(frame, kCountdown.request);
    if (!clockNumber)
        return {ignored(QStringLiteral("countdown for an unknown clock"), frame), {}, {}, false};
    const auto remaining = Bcd::time(quint8(frame.at(2)), quint8(frame.at(3)), quint8(frame.at(4)));
    if (!remaining)
        return {
            QStringLiteral("countdown clock %1 ignored: not a valid time").arg(*clockNumber), {}, {}, false};
    const qint64 remainingUs = qint64(remaining->msecsSinceStartOfDay()) * 1000;
    const QString target = FrameText::clockTime(m_clock.at(atUs + remainingUs));
    const QString text =
        QStringLiteral("countdown clock %1 %2 target %3")
            .arg(QString::number(*clockNumber), remaining->toString(QStringLiteral("HH:mm:ss")), target);
    return {text, {}, Countdown{*clockNumber, remainingUs, target}, false};
}

Outgoing MasterClock::answer(int clockNumber, bool settingsReply) const {
    const Frame& shape = settingsReply ? *kReadSettings.answer : *kWriteSettings.answer;
    const QByteArray& records = m_records[clockNumber - 1];
    const QString kind = settingsReply ? QStringLiteral("settings reply") : QStringLiteral("write reply");
    QString text = QStringLiteral("%1 clock %2 ").arg(kind).arg(clockNumber) + FrameText::groups(records);
    if (m_foreignAnswers)
        text += QStringLiteral(" (foreign answer)");
    return {ClockFrames::build(shape, clockNumber, records), text};
}

Outgoing MasterClock::timeFrame(qint64 atUs) const {
    const DeviceClock::Reading reading = m_clock.at(atUs);
    return {ClockFrames::clockTimeFrame(reading),
            QStringLiteral("clock time ") + FrameText::clockTime(reading)};
}
