#include "ServiceLog.h"

#include <cstdio>

void serviceLog(const QString& line) {
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}
