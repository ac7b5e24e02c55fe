#pragma once

#include <QList>
#include <QString>
#include <optional>

// The line settings text of the serial component, "9600,n,8,1": speed, parity
// letter, data bits and stop bits.
struct LineSettings {
    int baudRate = 9600;
    char parity = 'n'; // n, e, o, m or s
    int dataBits = 8;
    int stopBits = 1;

    // Parses the settings text; nothing when it is not of that form.
    static std::optional<LineSettings> parse(const QString& text);
    QString toString() const;
    // Start bit, data bits, parity bit and stop bits: 10 for 9600,n,8,1.
    int bitsPerCharacter() const { return 1 + dataBits + (parity == 'n' ? 0 : 1) + stopBits; }
};
