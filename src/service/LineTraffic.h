#pragma once

#include <QStringList>

// What one command put on the line and took from it: the frame record's lines
// and the frames written and read in hexadecimal.
struct LineTraffic {
    QStringList lines;
    QStringList sent;
    QStringList received;
};
