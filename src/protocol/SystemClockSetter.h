#pragma once

#include <QString>
#include <QTime>

// Sets the computer's time of day (the date stays) to a time with a fraction
// of half a second. Tests put a recorder in its place.
class SystemClockSetter {
public:
    struct Result {
        bool ok = false;
        int errorNumber = 0;
        QString reason; // the setter's own words when it failed
    };

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
