#pragma once

#include "GroupRow.h"

// The eight groups the window starts with, before anything is read or
// loaded. The simulator's countdown clocks start from them too.
GroupRows formDefaultRows();
