#pragma once

#include "DeviceClock.h"

#include <QByteArray>
#include <QString>

// Readable forms of what the frames carry, for the log.
namespace FrameText {

// "2024-03-05 weekday 2 09:07:45"
QString clockTime(const DeviceClock::Reading& reading);

// The eight group records of a settings frame (bytes 2 to 49), each as
// "| 1 valid refresh 07:00:00 length 08:00:00 static".
QString groups(const QByteArray& records);

} // namespace FrameText
