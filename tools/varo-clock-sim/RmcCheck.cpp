#include "RmcCheck.h"

#include "FrameLog.h"

#include <QList>

namespace RmcCheck {

namespace {
// The exclusive-or of the bytes between '$' and '*'.
quint8 checksum(const QByteArray& body) {
    quint8 sum = 0;
    for (const char byte : body)
        sum ^= quint8(byte);
    return sum;
}

QString checksumText(const QByteArray& body, const QByteArray& sent) {
    const quint8 computed = checksum(body);
    bool isHex = false;
    const uint sentValue = sent.toUInt(&isHex, 16);
    if (sent.size() == 2 && isHex && sentValue == computed)
        return QStringLiteral("checksum ok");
    return QStringLiteral("checksum bad (sent %1, computed %2)")
        .arg(QString::fromLatin1(sent.isEmpty() ? QByteArrayLiteral("nothing") : sent),
             FrameLog::hexText(QByteArray(1, char(computed))));
}

QString fieldText(const QList<QByteArray>& fields, int index) {
    const QByteArray field = fields.value(index);
    return field.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(field);
}
} // namespace

QString describe(const QByteArray& sentence) {
    const QByteArray line = sentence.endsWith("\r\n") ? sentence.chopped(2) : sentence;
    const int star = line.lastIndexOf('*');
    if (star < 0)
        return QStringLiteral("NMEA sentence without checksum");
    const QByteArray body = line.mid(1, star - 1);
    const QString checksum = checksumText(body, line.mid(star + 1));
    const QList<QByteArray> fields = body.split(',');
    if (!fields.first().endsWith("RMC"))
        return QStringLiteral("NMEA %1 sentence (not RMC) %2").arg(fieldText(fields, 0), checksum);
    constexpr int kTime = 1, kStatus = 2, kDate = 9;
    return QStringLiteral("RMC %1 %2 %3 %4")
        .arg(fieldText(fields, kTime), fieldText(fields, kStatus), fieldText(fields, kDate), checksum);
}

} // namespace RmcCheck
