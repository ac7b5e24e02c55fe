#pragma once

#include "CorrectionPolicy.h"
#include "session/PortChoice.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

// One run of varo-clock-service as its command line asks for it.
struct ServiceOptions {
    enum class Action { Serve, Help, Version };

    Action action = Action::Serve;
    PortChoice port;                                // --port
    int baudRate = 9600;                            // --baud
    QHostAddress address = QHostAddress::LocalHost; // --listen ADDRESS:PORT
    quint16 listenPort = 8642;
    QString tokenFile;        // --token-file; empty: no token
    QStringList allowedHosts; // --allow-host, each in lower case
    // --correct-above SECONDS --correct-between HH:MM-HH:MM [--correct-max-step SECONDS]
    // [--correct-unsynchronized]
    std::optional<CorrectionPolicy::Rule> correction;
    QString chronySocket; // --chrony-socket; empty: none
    QUrl prometheus;      // --prometheus, for the house page; empty: none

    // The arguments after the program name; nothing, with `error` set, when
    // they do not make a run. A listening address other than loopback needs
    // a token file; a correction needs its window; the master clock is
    // either corrected from the computer or chronyd's reference, not both.
    static std::optional<ServiceOptions> parse(const QStringList& arguments, QString* error);

    static QString helpText();
};
