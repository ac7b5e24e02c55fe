#pragma once

#include "common/RuntimeError.h"

#include <QString>
#include <optional>

class WallClock;

// Moves the computer's clock by an offset: to the time that lies that far from
// the computer's own at the moment of setting. Each setter reads the computer's
// clock as late as it can, so the time spent before (a question to the
// operator, a program starting) adds no error. Tests put a recorder in its place.
class SystemClockSetter {
public:
    // Nothing when the clock was set; otherwise why not, in the setter's own words.
    using Result = std::optional<RuntimeError>;

    virtual ~SystemClockSetter() = default;
    // Returns when the setter has finished; window events run meanwhile.
    virtual Result moveClockBy(qint64 offsetUs) = 0;
    // Whether moveClockBy() can take that offset now: a setter that cannot
    // change the date cannot move the clock into another day.
    virtual bool canMoveClockBy(qint64 offsetUs) const = 0;
};

// Runs the system's own command: "cmd /c time hh:nn:ss.cc" in a minimized
// window on Windows, which keeps the date; "date -s" with the date, time to the
// microsecond and UTC offset elsewhere. `program` replaces cmd or date (tests).
class ShellClockSetter : public SystemClockSetter {
public:
    explicit ShellClockSetter(const WallClock& clock, QString program = QString());
    Result moveClockBy(qint64 offsetUs) override;
    bool canMoveClockBy(qint64 offsetUs) const override;

private:
    const WallClock& m_clock;
    QString m_program;
};
