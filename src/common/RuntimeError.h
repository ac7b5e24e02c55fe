#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// The error numbers the program raises, with the classic run-time numbering
// that operators of the earlier tool know from its error boxes; the 8000s are
// the serial port component's.
enum class ErrorNumber : int {
    Overflow = 6,
    SubscriptOutOfRange = 9,
    TypeMismatch = 13,
    FileNotFound = 53,
    DeviceIoError = 57,
    InputPastEndOfFile = 62,
    PermissionDenied = 70,
    PathFileAccessError = 75,
    PathNotFound = 76,
    InvalidPropertyValue = 380,

    InvalidWhileOpen = 8000,  // port number changed while the port is open
    InvalidPortNumber = 8002, // outside 1..16, or no such device
    AlreadyOpen = 8005,       // opening a port that is already open
    UnsupportedSettings = 8007,
    HardwareNotAvailable = 8010, // held by another program
    NoPermission = 8011,
    NotOpen = 8018, // output or input while the port is closed
    ReadFailed = 8020,
    WriteFailed = 8021,
    DeviceLost = 8022, // the device went away while open
};

// A failure inside a command: an error number and a description. Each command
// handler catches it and shows the common error report.
class RuntimeError : public std::exception {
public:
    RuntimeError(ErrorNumber number, QString description)
        : m_number(number), m_description(std::move(description)), m_what(m_description.toUtf8()) {}

    ErrorNumber number() const { return m_number; }
    // The number as the error reports show it.
    int code() const { return int(m_number); }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    ErrorNumber m_number;
    QString m_description;
    QByteArray m_what;
};
