#pragma once

#include "OffsetModel.h"
#include "StepRule.h"
#include "protocol/SystemClockSetter.h"

#include <QByteArray>
#include <QObject>
#include <QTime>
#include <functional>
#include <optional>

// One exchange with the master clock, as a front-end asks for it. What each
// kind sends, waits for and decodes, and how the front-ends name it, is its
// ClockCommand.
struct ClockRequest {
    Q_GADGET
public:
    enum class Kind {
        SetTime,       // the computer's date and time, right after a second boundary
        TypedTime,     // the computer's date with a typed time of day, at once
        Countdown,     // temporary countdown to a time of day, after a boundary
        ReadSettings,  // read request and the settings reply
        WriteSettings, // write frame and the write reply
        TimeFrame,     // the master clock's own time frame, listened for
        Rmc,           // one RMC sentence, after a boundary
        SyncComputer,  // the computer's clock set from the master clock's time frame
    };
    Q_ENUM(Kind)

    // The eight group records of a settings write, made once the line has
    // been flushed; may raise RuntimeError (a text that is no time).
    using RecordMaker = std::function<QByteArray()>;
    // Whether a time frame with this offset (master clock minus computer
    // clock) serves.
    using OffsetCheck = std::function<bool(qint64 offsetUs)>;

    Kind kind = Kind::SetTime;
    std::optional<QTime> time; // TypedTime: the typed time; Countdown: the start time
    int clockIndex = 0;        // Countdown, ReadSettings, WriteSettings: 0 or 1 (-1: none chosen)
    RecordMaker records;       // WriteSettings
    char rmcStatus = 'A';      // Rmc: 'A' fix valid, 'V' not valid
    OffsetCheck
        serves; // TimeFrame, SyncComputer: frames that do not serve are passed over while the limit lasts
    // SyncComputer: the setter, and how far it may move the computer's clock.
    SystemClockSetter* setter = nullptr;
    StepRule stepRule;
    // SetTime, TypedTime: the outcome also tells the offset of the master
    // clock's next time frame, when the clock sends them (at most 3 s more;
    // the line is free meanwhile).
    bool confirm = false;
    // TypedTime: the caller insists, where a front-end refuses a typed time
    // (the service, while the master clock is chronyd's reference).
    bool force = false;

    static ClockRequest setTime() { return ClockRequest(); }
    static ClockRequest typedTime(const QTime& time) {
        ClockRequest request;
        request.kind = Kind::TypedTime;
        request.time = time;
        return request;
    }
    static ClockRequest countdown(int clockIndex, const QTime& start) {
        ClockRequest request;
        request.kind = Kind::Countdown;
        request.time = start;
        request.clockIndex = clockIndex;
        return request;
    }
    static ClockRequest readSettings(int clockIndex) {
        ClockRequest request;
        request.kind = Kind::ReadSettings;
        request.clockIndex = clockIndex;
        return request;
    }
    static ClockRequest writeSettings(int clockIndex, RecordMaker records) {
        ClockRequest request;
        request.kind = Kind::WriteSettings;
        request.clockIndex = clockIndex;
        request.records = std::move(records);
        return request;
    }
    static ClockRequest timeFrame(OffsetCheck serves = {}) {
        ClockRequest request;
        request.kind = Kind::TimeFrame;
        request.serves = std::move(serves);
        return request;
    }
    static ClockRequest rmc(char status) {
        ClockRequest request;
        request.kind = Kind::Rmc;
        request.rmcStatus = status;
        return request;
    }
    static ClockRequest syncComputer(SystemClockSetter& setter, StepRule rule) {
        ClockRequest request;
        request.kind = Kind::SyncComputer;
        request.setter = &setter;
        // Frames the setter cannot take are passed over while the wait lasts;
        // it takes the master clock's time of day, never its date.
        request.serves = [&setter](qint64 offsetUs) {
            return setter.canMoveClockBy(OffsetModel::timeOfDayPart(offsetUs));
        };
        request.stepRule = std::move(rule);
        return request;
    }
};
