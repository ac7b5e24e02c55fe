#pragma once

#include "WakeLateness.h"

#include <QDateTime>

class WallClock;

// Blocks until the second of the clock's time of day changes and returns the
// first reading of the new second. Window events do not run meanwhile. The
// thread naps through most of the second and watches the clock only for the
// last moments, from as far before the boundary as `lateness` says its naps
// end late, so that the frame leaves right after the boundary without keeping
// a core busy; the naps are measured into `lateness`. `secondMarker` receives
// the second noted at the start.
QDateTime waitForNextSecond(WallClock& clock, int& secondMarker,
                            WakeLateness& lateness = WakeLateness::ofProgram());
