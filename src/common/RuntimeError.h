#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// A failure inside a command: an error number and a description. Each command
// handler catches it and shows the common error report.
class RuntimeError : public std::exception {
public:
    RuntimeError(int number, QString description)
        : m_number(number), m_description(std::move(description)), m_what(m_description.toUtf8()) {}

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

// The error numbers the program raises, with the classic run-time numbering
// that operators of the earlier tool know from its error boxes.
namespace ErrorNumber {
constexpr int Overflow = 6;
constexpr int SubscriptOutOfRange = 9;
constexpr int TypeMismatch = 13;
constexpr int FileNotFound = 53;
constexpr int DeviceIoError = 57;
constexpr int InputPastEndOfFile = 62;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccessError = 75;
constexpr int PathNotFound = 76;
constexpr int InvalidPropertyValue = 380;
} // namespace ErrorNumber
