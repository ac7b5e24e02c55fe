#pragma once

#include <QByteArray>
#include <QTime>
#include <functional>
#include <optional>

// One exchange with the master clock, as a front-end asks for it.
struct ClockRequest {
    enum class Kind {
        SetTime,       // set-time frame: a typed time at once, or the computer's time after a boundary
        Countdown,     // temporary countdown to a time of day, after a boundary
        ReadSettings,  // read request and the settings reply
        WriteSettings, // write frame and the write reply
        TimeFrame,     // the master clock's own time frame, listened for
        Rmc,           // one RMC sentence, after a boundary
    };
    // The eight group records of a settings write, made once the line has
    // been flushed; may raise RuntimeError (a text that is no time).
    using RecordMaker = std::function<QByteArray()>;
    // Whether a time frame with this offset (master clock minus computer
    // clock) serves.
    using OffsetCheck = std::function<bool(qint64 offsetUs)>;

    Kind kind = Kind::SetTime;
    std::optional<QTime> time; // SetTime: the typed time (none: the computer's); Countdown: the start time
    int clockIndex = 0;        // Countdown, ReadSettings, WriteSettings: 0 or 1 (-1: none chosen)
    RecordMaker records;       // WriteSettings
    char rmcStatus = 'A';      // Rmc: 'A' fix valid, 'V' not valid
    OffsetCheck serves;        // TimeFrame: frames that do not serve are passed over while the limit lasts

    static ClockRequest setTime(std::optional<QTime> typed = std::nullopt) {
        ClockRequest request;
        request.time = typed;
        return request;
    }
    static ClockRequest countdown(int clockIndex, const QTime& start) {
        return {Kind::Countdown, start, clockIndex, {}, 'A', {}};
    }
    static ClockRequest readSettings(int clockIndex) {
        return {Kind::ReadSettings, {}, clockIndex, {}, 'A', {}};
    }
    static ClockRequest writeSettings(int clockIndex, RecordMaker records) {
        return {Kind::WriteSettings, {}, clockIndex, std::move(records), 'A', {}};
    }
    static ClockRequest timeFrame(OffsetCheck serves = {}) {
        return {Kind::TimeFrame, {}, 0, {}, 'A', std::move(serves)};
    }
    static ClockRequest rmc(char status) { return {Kind::Rmc, {}, 0, {}, status, {}}; }
};
