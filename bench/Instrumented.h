#pragma once

#include "BenchClock.h"
#include "protocol/WallClock.h"
#include "serial/QtSerialDevice.h"

#include <memory>

// Seams that pass everything on to the real ones and note when things
// happened, to split a boundary latency into its parts. Only the breakdown
// uses them; every target is measured with the real seams.

// The computer's clock; notes when a reading first showed a new second.
class StampingClock : public WallClock {
public:
    QDateTime now() const override {
        const QDateTime reading = m_real.now();
        const qint64 atUs = BenchClock::epochUs();
        if (m_lastSecond >= 0 && reading.time().second() != m_lastSecond)
            m_secondChangeSeenUs = atUs;
        m_lastSecond = reading.time().second();
        return reading;
    }
    qint64 epochMicroseconds() const override { return m_real.epochMicroseconds(); }
    void sleepFor(std::chrono::microseconds duration) override {
        m_real.sleepFor(duration);
        if (duration.count() > 0) // the watch before the boundary calls with zero
            m_lastSleepEndUs = BenchClock::epochUs();
    }

    // Forget the readings so far: the next press starts a new wait.
    void reset() {
        m_lastSecond = -1;
        m_secondChangeSeenUs = 0;
        m_lastSleepEndUs = 0;
    }
    qint64 secondChangeSeenUs() const { return m_secondChangeSeenUs; }
    qint64 lastSleepEndUs() const { return m_lastSleepEndUs; }

private:
    SystemWallClock m_real;
    mutable int m_lastSecond = -1;
    mutable qint64 m_secondChangeSeenUs = 0;
    qint64 m_lastSleepEndUs = 0;
};

// The real serial device; notes when the last write began and returned.
class StampingSerialDevice : public SerialDevice {
public:
    StampingSerialDevice(int portNumber, const QString& location, qint64* writeBeganUs,
                         qint64* writeReturnedUs)
        : m_real(portNumber, location), m_writeBeganUs(writeBeganUs), m_writeReturnedUs(writeReturnedUs) {
        connect(&m_real, &SerialDevice::readyRead, this, &SerialDevice::readyRead);
        connect(&m_real, &SerialDevice::lost, this, &SerialDevice::lost);
    }

    void open(const LineSettings& settings) override { m_real.open(settings); }
    void close() override { m_real.close(); }
    void write(const QByteArray& bytes) override {
        *m_writeBeganUs = BenchClock::epochUs();
        m_real.write(bytes);
        *m_writeReturnedUs = BenchClock::epochUs();
    }
    QByteArray readAll() override { return m_real.readAll(); }
    qint64 bytesAvailable() const override { return m_real.bytesAvailable(); }

private:
    QtSerialDevice m_real;
    qint64* m_writeBeganUs;
    qint64* m_writeReturnedUs;
};
