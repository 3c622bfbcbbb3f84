// How a Windows style port name ("\\.\COM5") finds a device on POSIX systems.
//
// A COM number reaches, in this order:
//   1. a link named comN in UserPortDirectory(): a user pins a number to an
//      adapter this way (best to a /dev/serial/by-id/... path), and the device
//      simulator registers its pseudo-terminal the same way. A pinned number
//      never falls back to anything else, even while its target is absent.
//   2. otherwise the serial devices present, numbered from COM1 upwards in a
//      fixed order: /dev/ttyUSB* by number, then /dev/ttyACM* by number, then
//      /dev/ttyS* that have a UART behind them (sysfs type not 0). Numbers
//      taken by links are skipped and devices already reached by a link are
//      not numbered again, so a single adapter with no links is COM1.
// Any other path is a device path already and is used as it is.
//
// On Windows names are used as they are; only the parsing helpers do work.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace serial {

inline constexpr int kMaxComNumber = 255;

// A plain decimal (no sign, no spaces, no leading zeros) or -1.
long ParseDecimal(std::string_view digits);

// 1-255 for "\\.\COMn", "COMn" or "comn" (any case, plain decimal without
// leading zeros); 0 for anything else.
int ParseComNumber(std::string_view path);

// "\\.\COMn", the form every caller hands to OpenComPort.
std::string FormatComPath(int number);

// What to open for a port chosen by COM number or by device path: the path
// when one is given, else the number's "\\.\COMn".
std::string PortPath(int comNumber, std::string_view devicePath);

// ${XDG_CONFIG_HOME:-$HOME/.config}/tirvel/ports; empty when neither is known.
// A relative XDG_CONFIG_HOME is ignored, as the XDG rules demand.
std::filesystem::path UserPortDirectory();

// Whether COM numbers go through the lookup above; Windows opens them itself.
bool ComNumbersResolved();

// Where the default order looks. Tests point these at fake trees.
struct DeviceRoots {
    std::filesystem::path dev{"/dev"};
    std::filesystem::path sysTty{"/sys/class/tty"};
};

#ifndef _WIN32
// Whether the ttyS port of that name has a UART behind it.
bool HasUart(const DeviceRoots& roots, const std::string& name);
#endif

struct ComPortEntry {
    int number = 0;
    std::string device;   // what opening the number opens
    bool pinned = false;  // reached through a link in UserPortDirectory()
    bool present = true;  // false only for a pinned link whose target is gone
};

// Every COM number that reaches something now, by number. Pinned numbers are
// listed even while their target is absent (present = false): they reach
// nothing, and a listing should say why.
std::vector<ComPortEntry> ListComPorts(const DeviceRoots& roots = {});

// The device a path opens: COM names resolved as above (empty when the number
// reaches nothing), anything else returned unchanged.
std::string ResolveDevicePath(std::string_view path, const DeviceRoots& roots = {});

// Points comN at target (made absolute). Succeeds when the link is created or
// already points there. An existing link is replaced only when its target is
// gone (a leftover of a simulator that died, or an unplugged adapter); a link
// to something present, or a comN entry that is not a link, is never touched.
// On failure *error (when given) says why.
bool RegisterComPort(int number, const std::string& target, std::string* error);

// Removes comN only while it still points to expectedTarget, so a simulator
// that shuts down late cannot remove a link someone else has made since.
// False when nothing was removed.
bool UnregisterComPort(int number, const std::string& expectedTarget);

}  // namespace serial
