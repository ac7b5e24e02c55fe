#pragma once

#include <QByteArray>
#include <vector>

// Telnet's framing (RFC 854) on a connection to a serial device server: a
// command starts with IAC (0xFF), and a data byte 0xFF travels as IAC IAC.
// Nothing else is changed: with binary transmission agreed both ways
// (RFC 856), CR NUL and CR LF are data like any other bytes.
namespace Telnet {
constexpr quint8 Se = 240;
constexpr quint8 Sb = 250;
constexpr quint8 Will = 251;
constexpr quint8 Wont = 252;
constexpr quint8 Do = 253;
constexpr quint8 Dont = 254;
constexpr quint8 Iac = 255;

namespace Option {
constexpr quint8 Binary = 0;
constexpr quint8 Echo = 1;
constexpr quint8 SuppressGoAhead = 3;
constexpr quint8 ComPort = 44; // RFC 2217
} // namespace Option

// The data with every 0xFF doubled.
QByteArray escape(const QByteArray& data);
// IAC WILL/WONT/DO/DONT option.
QByteArray negotiation(quint8 verb, quint8 option);
// IAC SB option payload IAC SE, with 0xFF in the payload doubled.
QByteArray subnegotiation(quint8 option, const QByteArray& payload);

// What a received stream carries, in order.
struct Item {
    enum class Kind { Data, Negotiation, Subnegotiation };
    Kind kind = Kind::Data;
    quint8 verb = 0;   // Will, Wont, Do or Dont, for a negotiation
    quint8 option = 0; // for a negotiation or subnegotiation
    QByteArray bytes;  // the data, or the subnegotiation's payload
};

// Splits a received stream into data, negotiations and subnegotiations; a
// command may be split across reads. Other commands (NOP, data mark, break)
// carry nothing for a serial line and are dropped.
class Decoder {
public:
    // Longest subnegotiation payload kept; a longer one is dropped whole.
    static constexpr int kMaxPayload = 256;

    std::vector<Item> feed(const QByteArray& bytes);

private:
    enum class State { Data, Command, Option, SubOption, SubData, SubCommand };

    void addData(char byte, std::vector<Item>& items);
    void addPayload(char byte);

    State m_state = State::Data;
    quint8 m_verb = 0;
    quint8 m_subOption = 0;
    QByteArray m_payload;
    bool m_payloadTooLong = false;
};
} // namespace Telnet
