#pragma once

#include "common/RuntimeError.h"

#include <QString>
#include <QTime>
#include <optional>

// Sets the computer's time of day (the date stays) to a time with a fraction
// of half a second. Tests put a recorder in its place.
class SystemClockSetter {
public:
    // Nothing when the clock was set; otherwise why not, in the setter's own words.
    using Result = std::optional<RuntimeError>;

    virtual ~SystemClockSetter() = default;
    // Returns when the setter has finished; window events run meanwhile.
    virtual Result setTimeOfDay(const QTime& time) = 0;
};

// Runs the system's own command: "cmd /c time hh:nn:ss.5" in a minimized
// window on Windows, "date -s hh:nn:ss.5" elsewhere (GNU date keeps the date
// when given a time alone). `program` replaces cmd or date (tests).
class ShellClockSetter : public SystemClockSetter {
public:
    explicit ShellClockSetter(QString program = QString());
    Result setTimeOfDay(const QTime& time) override;

private:
    QString m_program;
};
