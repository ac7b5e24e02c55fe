#include "Rfc2217Client.h"

#include <QtEndian>

using namespace Telnet;

namespace {
// COM-PORT-OPTION commands; the server answers each with its code plus 100.
namespace Command {
constexpr quint8 SetBaudRate = 1;
constexpr quint8 SetDataSize = 2;
constexpr quint8 SetParity = 3;
constexpr quint8 SetStopSize = 4;
constexpr quint8 SetControl = 5;
constexpr quint8 PurgeData = 12;
} // namespace Command
constexpr quint8 kServerOffset = 100;

namespace Control {
constexpr quint8 NoFlowControl = 1;
constexpr quint8 XonXoff = 2;
constexpr quint8 Hardware = 3;
constexpr quint8 DtrOn = 8;
constexpr quint8 RtsOn = 11;
} // namespace Control
constexpr quint8 kPurgeReceived = 1;

// The line settings the server must acknowledge, one bit each.
constexpr unsigned kAllAcknowledged = (1u << Command::SetBaudRate) | (1u << Command::SetDataSize) |
                                      (1u << Command::SetParity) | (1u << Command::SetStopSize) |
                                      (1u << Command::SetControl);

bool wePerform(quint8 option) {
    return option == Option::Binary || option == Option::ComPort || option == Option::SuppressGoAhead;
}
bool theyMayPerform(quint8 option) {
    return option == Option::Binary || option == Option::SuppressGoAhead;
}

quint8 parityCode(char parity) {
    switch (parity) {
    case 'o':
        return 2;
    case 'e':
        return 3;
    case 'm':
        return 4;
    case 's':
        return 5;
    default:
        return 1;
    }
}

QByteArray comPort(quint8 command, const QByteArray& value) {
    return subnegotiation(Option::ComPort, char(command) + value);
}
QByteArray comPort(quint8 command, quint8 value) {
    return comPort(command, QByteArray(1, char(value)));
}
} // namespace

QByteArray Rfc2217Client::greeting() {
    m_ours[Option::Binary] = Side::Asked;
    m_theirs[Option::Binary] = Side::Asked;
    m_ours[Option::ComPort] = Side::Asked;
    return negotiation(Will, Option::Binary) + negotiation(Do, Option::Binary) +
           negotiation(Will, Option::ComPort);
}

QByteArray Rfc2217Client::purgeRequest() {
    return comPort(Command::PurgeData, kPurgeReceived);
}

QByteArray Rfc2217Client::settingsRequests() const {
    QByteArray baud(4, '\0');
    qToBigEndian(quint32(m_settings.baudRate), baud.data());
    return comPort(Command::SetBaudRate, baud) + comPort(Command::SetDataSize, quint8(m_settings.dataBits)) +
           comPort(Command::SetParity, parityCode(m_settings.parity)) +
           comPort(Command::SetStopSize, quint8(m_settings.stopBits)) +
           comPort(Command::SetControl, Control::NoFlowControl) +
           // Level converters powered from the port take their supply from
           // DTR and RTS, which a local port raises on opening too.
           comPort(Command::SetControl, Control::DtrOn) + comPort(Command::SetControl, Control::RtsOn);
}

Rfc2217Client::Received Rfc2217Client::receive(const QByteArray& bytes) {
    Received received;
    for (const Item& item : m_decoder.feed(bytes)) {
        switch (item.kind) {
        case Item::Kind::Data:
            received.data += item.bytes;
            break;
        case Item::Kind::Negotiation:
            negotiate(item.verb, item.option, received.reply);
            break;
        case Item::Kind::Subnegotiation:
            if (item.option == Option::ComPort)
                takeNotice(item.bytes);
            break;
        }
    }
    return received;
}

void Rfc2217Client::negotiate(quint8 verb, quint8 option, QByteArray& reply) {
    // DO and DONT are about what we perform, WILL and WONT about the server.
    const bool ours = verb == Do || verb == Dont;
    Side& side = ours ? m_ours[option] : m_theirs[option];
    const quint8 agree = ours ? Will : Do;
    const quint8 decline = ours ? Wont : Dont;
    if (verb == Do || verb == Will) {
        if (!(ours ? wePerform(option) : theyMayPerform(option))) {
            reply += negotiation(decline, option);
            return;
        }
        // A request for what is already on is not answered (RFC 854).
        const Side before = std::exchange(side, Side::Yes);
        if (before == Side::No)
            reply += negotiation(agree, option);
        // Once, as the answer to our asking: a server that drops the option
        // has refused the line already.
        if (ours && option == Option::ComPort && before == Side::Asked)
            reply += settingsRequests();
        return;
    }
    const Side before = std::exchange(side, Side::No);
    if (before == Side::Yes)
        reply += negotiation(decline, option);
    if (before == Side::No)
        return;
    if (option == Option::Binary)
        refuse(QStringLiteral("the server refuses binary transmission, which every byte value needs"));
    else if (option == Option::ComPort)
        refuse(QStringLiteral("the server does not set serial lines (no RFC 2217 COM-PORT-OPTION); "
                              "socket:// reaches it without"));
}

void Rfc2217Client::takeNotice(const QByteArray& payload) {
    if (payload.isEmpty() || stage() != Stage::Negotiating)
        return;
    const int command = quint8(payload[0]) - kServerOffset;
    const QByteArray value = payload.mid(1);
    const auto check = [&](int expected, int got, const QString& what) {
        if (got == expected)
            m_acknowledged |= 1u << command;
        else
            refuse(QStringLiteral("the server set %1 %2 instead of %3").arg(what).arg(got).arg(expected));
    };
    const int byteValue = value.size() == 1 ? quint8(value[0]) : -1;
    switch (command) {
    case Command::SetBaudRate:
        check(m_settings.baudRate, value.size() == 4 ? int(qFromBigEndian<quint32>(value.constData())) : -1,
              QStringLiteral("the line speed"));
        break;
    case Command::SetDataSize:
        check(m_settings.dataBits, byteValue, QStringLiteral("data bits"));
        break;
    case Command::SetParity:
        check(parityCode(m_settings.parity), byteValue, QStringLiteral("parity code"));
        break;
    case Command::SetStopSize:
        check(m_settings.stopBits, byteValue, QStringLiteral("stop bits code"));
        break;
    case Command::SetControl:
        // The same command also answers DTR and RTS; only the flow control counts.
        if (byteValue == Control::NoFlowControl)
            m_acknowledged |= 1u << command;
        else if (byteValue == Control::XonXoff || byteValue == Control::Hardware)
            refuse(QStringLiteral("the server keeps %1 flow control on")
                       .arg(byteValue == Control::XonXoff ? QStringLiteral("XON/XOFF")
                                                          : QStringLiteral("hardware")));
        break;
    default:
        break;
    }
}

void Rfc2217Client::refuse(const QString& reason) {
    if (m_refusal.isEmpty())
        m_refusal = reason;
}

Rfc2217Client::Stage Rfc2217Client::stage() const {
    if (!m_refusal.isEmpty())
        return Stage::Refused;
    const bool binary = m_ours[Option::Binary] == Side::Yes && m_theirs[Option::Binary] == Side::Yes;
    if (binary && m_ours[Option::ComPort] == Side::Yes && m_acknowledged == kAllAcknowledged)
        return Stage::Ready;
    return Stage::Negotiating;
}
