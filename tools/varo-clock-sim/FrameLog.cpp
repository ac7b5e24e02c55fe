#include "FrameLog.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {
constexpr FrameLog::Direction kDirections[] = {FrameLog::Direction::Received, FrameLog::Direction::Sent,
                                               FrameLog::Direction::Event};
const QString kNoBytes = QStringLiteral("-");
const QString kTimeField = QStringLiteral("t=");
const QString kDevicePrefix = QStringLiteral("DEVICE ");

QString localTimeOfDay(qint64 atUs) {
    return QDateTime::fromSecsSinceEpoch(atUs / 1'000'000).toString(QStringLiteral("HH:mm:ss.")) +
           QStringLiteral("%1").arg(atUs % 1'000'000, 6, 10, QLatin1Char('0'));
}
} // namespace

QDateTime FrameLog::Entry::localTime() const {
    return QDateTime::fromMSecsSinceEpoch(atUs / 1000);
}

QByteArray FrameLog::Entry::bytes() const {
    return QByteArray::fromHex(hex.toLatin1());
}

FrameLog::FrameLog(const QString& filePath) {
    if (filePath.isEmpty())
        return;
    m_file.setFileName(filePath);
    m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
}

bool FrameLog::isOpen() const {
    return m_file.fileName().isEmpty() || m_file.isOpen();
}

QString FrameLog::errorString() const {
    return m_file.errorString();
}

void FrameLog::device(const QString& path) {
    write(kDevicePrefix + path);
}

void FrameLog::frame(qint64 atUs, Direction direction, const QByteArray& bytes, const QString& text) {
    write(formatLine(atUs, direction, bytes, text));
}

void FrameLog::event(qint64 atUs, const QString& text) {
    write(formatLine(atUs, Direction::Event, {}, text));
}

QString FrameLog::formatLine(qint64 atUs, Direction direction, const QByteArray& bytes, const QString& text) {
    const QString hex = bytes.isEmpty() ? kNoBytes : hexText(bytes);
    return QStringLiteral("%1 %2%3 %4 %5 %6")
        .arg(localTimeOfDay(atUs), kTimeField, QString::number(atUs), directionText(direction), hex, text);
}

std::optional<FrameLog::Entry> FrameLog::parseLine(const QString& line) {
    const QString timeField = line.section(QLatin1Char(' '), 1, 1);
    const QString directionField = line.section(QLatin1Char(' '), 2, 2);
    const QString hexField = line.section(QLatin1Char(' '), 3, 3);
    Entry entry;
    bool isNumber = false;
    entry.atUs = timeField.mid(kTimeField.size()).toLongLong(&isNumber);
    if (!timeField.startsWith(kTimeField) || !isNumber || hexField.isEmpty())
        return std::nullopt;
    const auto* direction =
        std::find_if(std::begin(kDirections), std::end(kDirections),
                     [&](Direction known) { return directionText(known) == directionField; });
    if (direction == std::end(kDirections))
        return std::nullopt;
    entry.direction = *direction;
    entry.hex = hexField == kNoBytes ? QString() : hexField;
    entry.text = line.section(QLatin1Char(' '), 4);
    return entry;
}

std::optional<QString> FrameLog::parseDevice(const QString& line) {
    const QString path = line.mid(kDevicePrefix.size());
    if (!line.startsWith(kDevicePrefix) || path.isEmpty() || path.contains(QLatin1Char(' ')))
        return std::nullopt;
    return path;
}

QString FrameLog::directionText(Direction direction) {
    if (direction == Direction::Received)
        return QStringLiteral("RX");
    if (direction == Direction::Sent)
        return QStringLiteral("TX");
    return QStringLiteral("EV");
}

QString FrameLog::hexText(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex().toUpper());
}

void FrameLog::write(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    // The file first: whoever has seen a line on stdout finds it in the file too.
    if (m_file.isOpen()) {
        m_file.write(bytes);
        m_file.flush();
    }
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}
