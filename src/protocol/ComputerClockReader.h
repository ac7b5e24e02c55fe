#pragma once

#include <QString>
#include <optional>

// Whether the computer's own clock is kept right by a time service, as far as
// the system tells a normal user.
struct ComputerClockState {
    enum class Sync { Synchronized, Unsynchronized, Unknown };

    Sync sync = Sync::Unknown;
    std::optional<double> maxErrorMs; // the kernel's bound on the clock's error
    std::optional<double> estErrorMs; // its estimate of the error
    QString source;                   // where it was read: "adjtimex", ...
    QString detail;                   // what the source said, in its words, when that says more
};

// Reads the computer clock's state; cheap enough to ask every few seconds,
// never blocking. Tests put a reader of their own in its place.
class ComputerClockReader {
public:
    virtual ~ComputerClockReader() = default;
    virtual ComputerClockState read() const = 0;
};
