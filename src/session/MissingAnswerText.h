#pragma once

#include "ClockOutcome.h"
#include "ClockRequest.h"

#include <QString>

// What the command line and the service say when the master clock's answer
// does not come or does not fit (NoAnswer, ForeignAnswer), where the window
// stays silent: a settings read or write, or else the time frame.
QString missingAnswerText(ClockRequest::Kind kind, const ClockOutcome& outcome);
