#pragma once

#include <QDateTime>

class WallClock;

// Blocks until the second of the clock's time of day changes and returns the
// first reading of the new second. Window events do not run meanwhile. The
// thread sleeps through most of the second and watches the clock only for the
// last moments, so the frame leaves right after the boundary without keeping a
// core busy. `secondMarker` receives the second noted at the start.
QDateTime waitForNextSecond(WallClock& clock, int& secondMarker);
