#pragma once

#include <QString>
#include <optional>

// A port as an operator or a script names it: one of the port list's ports
// 1..16, or a device outside it.
struct PortChoice {
    int number = 0; // 1..16 in the port list; 0 for a device outside it
    QString device; // the device behind it

    // Port n of the list.
    static PortChoice listed(int number);
    // A device named by its location (a path, COM17).
    static PortChoice named(const QString& device) { return {0, device}; }
    // A number 1-16 or Com1-Com16 as the port list counts them, or a device;
    // a device that is one of the list's ports keeps that port's number.
    // Nothing when the text names no port.
    static std::optional<PortChoice> fromText(const QString& text);
    // Why fromText() gives nothing for `text`, as it follows the text:
    // "names no port (Com1 to Com16, ...)", or for a network port the part
    // that is wrong. The command line and the service say it after the option.
    static QString refusal(const QString& text);

    // "Com16", or the device for one outside the list.
    QString name() const;

    // Whether two locations lead to the same device (/dev/serial/by-id/...
    // and the /dev/ttyUSB0 it links to).
    static bool sameDevice(const QString& a, const QString& b);
};
