#pragma once

#include "protocol/ComputerClockReader.h"

// Stands in for the system's reader of the computer clock's state until it
// joins this program: the state is always unknown.
class UnknownComputerClockReader : public ComputerClockReader {
public:
    ComputerClockState read() const override { return {}; }
};
