#pragma once

#include <QString>
#include <cerrno>
#include <cstring>

// "<what>: <the system's text for errno>", for failed system calls.
inline QString systemError(const QString& what) {
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}
