#include "TelnetCodec.h"

namespace Telnet {

QByteArray escape(const QByteArray& data) {
    QByteArray escaped;
    escaped.reserve(data.size() + data.count(char(Iac)));
    for (char byte : data) {
        escaped.append(byte);
        if (quint8(byte) == Iac)
            escaped.append(byte);
    }
    return escaped;
}

namespace {
QByteArray command(quint8 code, quint8 option) {
    QByteArray bytes;
    bytes.append(char(Iac)).append(char(code)).append(char(option));
    return bytes;
}
} // namespace

QByteArray negotiation(quint8 verb, quint8 option) {
    return command(verb, option);
}

QByteArray subnegotiation(quint8 option, const QByteArray& payload) {
    return command(Sb, option) + escape(payload) + char(Iac) + char(Se);
}

void Decoder::addData(char byte, std::vector<Item>& items) {
    if (items.empty() || items.back().kind != Item::Kind::Data)
        items.push_back(Item{});
    items.back().bytes.append(byte);
}

void Decoder::addPayload(char byte) {
    if (m_payload.size() < kMaxPayload)
        m_payload.append(byte);
    else
        m_payloadTooLong = true;
}

std::vector<Item> Decoder::feed(const QByteArray& bytes) {
    std::vector<Item> items;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char byte = bytes[i];
        const quint8 code = quint8(byte);
        switch (m_state) {
        case State::Data:
            if (code == Iac)
                m_state = State::Command;
            else
                addData(byte, items);
            break;
        case State::Command:
            if (code == Iac) {
                addData(byte, items);
                m_state = State::Data;
            } else if (code >= Will) {
                m_verb = code;
                m_state = State::Option;
            } else if (code == Sb) {
                m_state = State::SubOption;
            } else {
                m_state = State::Data;
            }
            break;
        case State::Option:
            items.push_back(Item{Item::Kind::Negotiation, m_verb, code, {}});
            m_state = State::Data;
            break;
        case State::SubOption:
            m_subOption = code;
            m_payload.clear();
            m_payloadTooLong = false;
            m_state = State::SubData;
            break;
        case State::SubData:
            if (code == Iac)
                m_state = State::SubCommand;
            else
                addPayload(byte);
            break;
        case State::SubCommand:
            if (code == Iac) {
                addPayload(byte);
                m_state = State::SubData;
            } else if (code == Se) {
                if (!m_payloadTooLong)
                    items.push_back(Item{Item::Kind::Subnegotiation, 0, m_subOption, m_payload});
                m_state = State::Data;
            } else {
                // A command inside a subnegotiation ends it unfinished; the
                // command itself counts as it would anywhere: read it again.
                m_state = State::Command;
                --i;
            }
            break;
        }
    }
    return items;
}

} // namespace Telnet
