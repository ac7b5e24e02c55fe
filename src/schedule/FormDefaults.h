#pragma once

#include "GroupRow.h"

#include <QByteArray>

// The eight groups the window starts with, before anything is read or
// loaded. The simulator's countdown clocks start from the same records,
// written out in its own code (tests/support/KnownBytes.h holds them too).
GroupRows formDefaultRows();

// Their group records, as the write command sends them.
QByteArray formDefaultRecords();
