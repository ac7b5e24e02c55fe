#pragma once

#include <QString>
#include <optional>

// A serial port reached over the network, named as pyserial names it:
// rfc2217://HOST:PORT (telnet with the COM-PORT-OPTION, the line set from
// here) or socket://HOST:PORT (raw bytes, the line set at the server). HOST
// is a name, an IPv4 address or an IPv6 address in brackets.
struct NetworkPortAddress {
    enum class Protocol { Rfc2217, Raw };
    Protocol protocol = Protocol::Rfc2217;
    QString host; // without the brackets of an IPv6 address
    quint16 port = 0;

    // Nothing when `text` (blanks around it aside) is not of that form.
    static std::optional<NetworkPortAddress> parse(const QString& text);
    // Whether `text` starts as a network port does (rfc2217:// or socket://).
    static bool isNetworkForm(const QString& text);
    // Why a text in that form names no network port ("names no port: ..."),
    // empty when it names one or is not in that form.
    static QString refusal(const QString& text);
};
