#pragma once

#include <QString>

// A line on standard error, where the journal takes what a service says.
void serviceLog(const QString& line);
