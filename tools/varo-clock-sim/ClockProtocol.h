#pragma once

#include <QtGlobal>
#include <array>
#include <optional>

// The frames the master clock knows, written down here on their own rather
// than taken from Varo Clock, so that the simulator checks the program instead
// of mirroring it. tst_sim_command_table holds this table against the
// program's, so that one cannot change without the other.
namespace ClockProtocol {

// Byte 0 of a frame is its code. Byte 1 is either `byte1` itself or, for a
// frame that names a countdown clock, `byte1` plus the clock number 1 or 2.
struct Frame {
    quint8 code;
    quint8 byte1;
    bool namesClock;
    int length;
};

// A frame the clock receives and the one it answers with, if any.
struct Command {
    Frame request;
    std::optional<Frame> answer;
};

constexpr Command kSetTime{{0xAA, 0x00, false, 9}, std::nullopt};
constexpr Command kReadSettings{{0xBB, 0xA0, true, 2}, Frame{0xBB, 0xB0, true, 50}};
constexpr Command kWriteSettings{{0xCC, 0xB0, true, 50}, Frame{0xCC, 0xC0, true, 50}};
constexpr Command kCountdown{{0xDD, 0xD0, true, 5}, std::nullopt};

constexpr std::array<Command, 4> kCommands{kSetTime, kReadSettings, kWriteSettings, kCountdown};

// The clock's own time frame, sent unasked: AA 00 YY MM DD W hh mm ss.
constexpr Frame kClockTime{0xAA, 0x00, false, 9};

// The group records of a settings frame: eight of six bytes after bytes 0 and 1.
constexpr int kRecordsOffset = 2;
constexpr int kRecordSize = 6;
constexpr int kGroupCount = 8;

// The command whose frame starts with `code`; nothing for another byte.
inline const Command* commandOf(quint8 code) {
    for (const Command& command : kCommands)
        if (command.request.code == code)
            return &command;
    return nullptr;
}

} // namespace ClockProtocol
