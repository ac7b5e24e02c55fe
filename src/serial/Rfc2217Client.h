#pragma once

#include "LineSettings.h"
#include "TelnetCodec.h"

#include <QString>
#include <array>

// The client's side of telnet with the COM-PORT-OPTION (RFC 2217), as the
// master clock's line needs it from a serial device server: binary
// transmission both ways and the line settings set and acknowledged. Pure:
// bytes from the server in, the line's data and the answers out, for the
// network device to carry.
class Rfc2217Client {
public:
    enum class Stage { Negotiating, Ready, Refused };
    struct Received {
        QByteArray data;  // the serial line's bytes
        QByteArray reply; // what to send back to the server
    };

    explicit Rfc2217Client(const LineSettings& settings) : m_settings(settings) {}

    // What the client asks for first: binary transmission both ways and the
    // COM-PORT-OPTION. The line settings follow once the server takes it up.
    QByteArray greeting();
    Received receive(const QByteArray& bytes);

    // Ready once binary transmission runs both ways and the server has
    // acknowledged each line setting. Modem lines are never waited for: a
    // server with none (a pseudo-terminal behind ser2net) does not answer them.
    Stage stage() const;
    // Why the server cannot serve the line, once Refused.
    const QString& refusal() const { return m_refusal; }

    // Asks the server to drop what it received from the serial line and has
    // not sent on yet; what we wrote still goes to the line.
    static QByteArray purgeRequest();

private:
    enum class Side { No, Asked, Yes };

    void negotiate(quint8 verb, quint8 option, QByteArray& reply);
    void takeNotice(const QByteArray& payload);
    QByteArray settingsRequests() const;
    void refuse(const QString& reason);

    LineSettings m_settings;
    std::array<Side, 256> m_ours{};   // options we perform
    std::array<Side, 256> m_theirs{}; // options the server performs
    unsigned m_acknowledged = 0;      // bit per line setting
    QString m_refusal;
    Telnet::Decoder m_decoder;
};
