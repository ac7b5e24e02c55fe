#include "RmcSentence.h"

quint8 nmeaChecksum(const QByteArray& body) {
    quint8 checksum = 0;
    for (const char byte : body)
        checksum ^= quint8(byte);
    return checksum;
}

RmcSentence RmcSentence::build(const QTime& time, const QDate& date, char status) {
    RmcSentence sentence;
    sentence.text = QStringLiteral("$GPRMC,") + time.toString(QStringLiteral("HHmmss")) +
                    QStringLiteral(".123,") + QLatin1Char(status) +
                    QStringLiteral(",3114.1296,N,12128.0253,E,000.0,000.0,") +
                    date.toString(QStringLiteral("ddMMyy")) + QStringLiteral(",,*??\r\n");

    QByteArray bytes = sentence.text.toLatin1();
    const int length = bytes.size();
    // From the byte after "$" to the last "," before "*".
    const quint8 checksum = nmeaChecksum(bytes.mid(1, length - 6));
    sentence.checksum = QStringLiteral("%1").arg(checksum, 2, 16, QLatin1Char('0')).toUpper();
    bytes[length - 4] = sentence.checksum.at(0).toLatin1();
    bytes[length - 3] = sentence.checksum.at(1).toLatin1();
    sentence.bytes = bytes;
    return sentence;
}
