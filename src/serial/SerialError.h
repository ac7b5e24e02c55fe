#pragma once

// Error numbers of the serial port component; descriptions are built where the
// failure happens so that they can name the port and the system's reason.
namespace SerialError {
constexpr int InvalidWhileOpen = 8000;  // port number changed while the port is open
constexpr int InvalidPortNumber = 8002; // outside 1..16, or no such device
constexpr int AlreadyOpen = 8005;       // opening a port that is already open
constexpr int UnsupportedSettings = 8007;
constexpr int HardwareNotAvailable = 8010; // held by another program
constexpr int NoPermission = 8011;
constexpr int NotOpen = 8018; // Output/Input while the port is closed
constexpr int ReadFailed = 8020;
constexpr int WriteFailed = 8021;
constexpr int DeviceLost = 8022; // the device went away while open
} // namespace SerialError
