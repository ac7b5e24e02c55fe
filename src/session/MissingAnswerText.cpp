#include "MissingAnswerText.h"

QString missingAnswerText(ClockRequest::Kind kind, const ClockOutcome& outcome) {
    const bool none = outcome.received.isEmpty();
    switch (kind) {
    case ClockRequest::Kind::ReadSettings:
        return none ? QStringLiteral("No answer from the master clock to the read")
                    : QStringLiteral("The master clock's answer is no settings reply");
    case ClockRequest::Kind::WriteSettings:
        return none ? QStringLiteral("No answer from the master clock to the write")
                    : QStringLiteral("The master clock's answer is no write reply");
    default:
        return none ? QStringLiteral("No time frame from the master clock")
                    : QStringLiteral("What the master clock sent is no time frame");
    }
}
