#pragma once

#include <QString>
#include <string_view>

// The device a serial port name stands for on this platform. "COM1" to "COM30" follow one fixed
// table; a name that begins with '/' is a path and is used as it is; anything else is handed to
// the system unchanged.
QString SerialDevicePath(std::string_view portName);

// True when the device a port name stands for is present now.
bool SerialDevicePresent(std::string_view portName);
