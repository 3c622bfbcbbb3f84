// The serial ports present on this machine, offered to the operator to pick
// from: on Linux the tty devices sysfs shows with a driver behind them, on
// Windows the COM ports the system lists under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM. Both in natural order
// (ttyUSB2 before ttyUSB10, COM2 before COM10).
#pragma once

#include <string>
#include <vector>

#include "serial/PortPath.h"

namespace serial {

struct PresentPort {
    std::string name;   // what the list shows: "/dev/ttyUSB0", or "COM3" on Windows
    int comNumber = 0;  // the COM number that reaches it now; 0 when none does
};

#ifdef _WIN32
// Where the system's list is read; tests point it at a key of their own.
struct SerialCommKey {
    bool currentUser = false;  // else HKEY_LOCAL_MACHINE
    std::string subkey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
};
std::vector<PresentPort> ListPresentPorts(const SerialCommKey& key = {});
#else
std::vector<PresentPort> ListPresentPorts(const DeviceRoots& roots = {});
#endif

// COM names as the system lists them ("COM3", in any order, with names that
// are no COM port among them): each port once, by number.
std::vector<PresentPort> PortsFromComNames(const std::vector<std::string>& names);

// Digits compare as numbers, everything else byte by byte.
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace serial
