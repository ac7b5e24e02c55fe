#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The values the clock commands share for the window's whole life; each
// command overwrites what it uses, and the last frame stays until the next.
struct WindowValues {
    QByteArray frameBuffer;   // the frame being built and sent
    QByteArray receiveBuffer; // the bytes of the last read
    QString frameText;        // the command's working text
    QDateTime timeValue;      // hand-set time, remaining time or start of a wait
    int secondMarker = 0;     // second-of-minute noted before a boundary wait
};
