#pragma once
// The serial ports the platform says are present, in the platform's order.
// One backend per platform: the registry's SERIALCOMM list on Windows, Qt's
// port list elsewhere.

#include <QStringList>

// The names to open, e.g. "COM3" or "/dev/ttyUSB0"; empty when the platform
// lists none or its list cannot be read.
QStringList PresentSerialPorts();
