#include "FrameLog.h"

#include "protocol/Frames.h"

#include <cstdio>
#include <time.h>

namespace {
QString localTimeOfDay(qint64 atUs) {
    const time_t seconds = time_t(atUs / 1'000'000);
    tm local{};
    localtime_r(&seconds, &local);
    return QStringLiteral("%1:%2:%3.%4")
        .arg(local.tm_hour, 2, 10, QLatin1Char('0'))
        .arg(local.tm_min, 2, 10, QLatin1Char('0'))
        .arg(local.tm_sec, 2, 10, QLatin1Char('0'))
        .arg(atUs % 1'000'000, 6, 10, QLatin1Char('0'));
}

QString directionText(FrameLog::Direction direction) {
    if (direction == FrameLog::Direction::Received)
        return QStringLiteral("RX");
    if (direction == FrameLog::Direction::Sent)
        return QStringLiteral("TX");
    return QStringLiteral("EV");
}
} // namespace

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
    write(QStringLiteral("DEVICE ") + path);
}

void FrameLog::frame(qint64 atUs, Direction direction, const QByteArray& bytes, const QString& text) {
    write(formatLine(atUs, direction, bytes, text));
}

void FrameLog::event(qint64 atUs, const QString& text) {
    write(formatLine(atUs, Direction::Event, {}, text));
}

QString FrameLog::formatLine(qint64 atUs, Direction direction, const QByteArray& bytes, const QString& text) {
    const QString hex = bytes.isEmpty() ? QStringLiteral("-") : Frames::hexText(bytes);
    return QStringLiteral("%1 t=%2 %3 %4 %5")
        .arg(localTimeOfDay(atUs), QString::number(atUs), directionText(direction), hex, text);
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
