#pragma once

#include <QtGlobal>
#include <array>
#include <optional>

// Every frame of the master clock protocol in one table: for each command the
// frame the computer sends, the answer it waits for (if any) and for how long.
// Frames, the clock session and the tests read their codes, lengths and limits
// from here; the simulator keeps a table of its own, held against this one by
// tst_sim_command_table.
namespace CommandTable {

// How a frame starts and how long it is. Byte 1 either is `byte1` itself or
// names a countdown clock as `byte1` (its base) plus the clock number 1 or 2.
struct FrameShape {
    quint8 code; // byte 0
    quint8 byte1;
    bool namesClock;
    int length; // the whole frame, bytes 0 and 1 included
};

// A frame waited for, and how long, in whole seconds of the computer clock.
struct Awaited {
    FrameShape frame;
    int limitSeconds;
};

struct Command {
    FrameShape request;
    std::optional<Awaited> answer; // nothing: the master clock does not answer
};

// AA 00 YY MM DD W hh mm ss
constexpr Command kSetTime{{0xAA, 0x00, false, 9}, std::nullopt};
// BB An -> BB Bn and the eight group records of clock n
constexpr Command kReadSettings{{0xBB, 0xA0, true, 2}, Awaited{{0xBB, 0xB0, true, 50}, 2}};
// CC Bn and eight group records -> CC Cn and the records as stored
constexpr Command kWriteSettings{{0xCC, 0xB0, true, 50}, Awaited{{0xCC, 0xC0, true, 50}, 2}};
// DD Dn hh mm ss: the time left
constexpr Command kTemporaryCountdown{{0xDD, 0xD0, true, 5}, std::nullopt};

constexpr std::array<Command, 4> kCommands{kSetTime, kReadSettings, kWriteSettings, kTemporaryCountdown};

// The master clock's own time frame, AA 00 YY MM DD W hh mm ss, which it sends
// unasked; synchronizing the computer clock waits this long for one.
constexpr Awaited kClockTime{{0xAA, 0x00, false, 9}, 3};

} // namespace CommandTable
