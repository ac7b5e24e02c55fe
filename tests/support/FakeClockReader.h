#pragma once

#include "protocol/ComputerClockReader.h"

// Answers every read with the state a test sets, and counts the reads.
class FakeClockReader : public ComputerClockReader {
public:
    ComputerClockState read() const override {
        ++reads;
        return state;
    }

    ComputerClockState state;
    mutable int reads = 0;
};
