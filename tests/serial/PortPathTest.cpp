// COM names to devices: parsing, links and the default order over fake /dev
// and /sys trees.
#include "serial/PortPath.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "TempConfigHome.h"

namespace {

namespace fs = std::filesystem;

TEST(serial_ComPath, ParseAcceptsOnlyCanonicalNumbersOneTo255) {
    const std::pair<const char*, int> accepted[] = {
        {"\\\\.\\COM1", 1},   {"\\\\.\\COM9", 9}, {"\\\\.\\COM10", 10}, {"\\\\.\\COM255", 255},
        {"\\\\.\\com12", 12}, {"COM7", 7},        {"com5", 5},          {"cOm3", 3}};
    for (const auto& [path, number] : accepted) {
        EXPECT_EQ(serial::ParseComNumber(path), number) << path;
    }
    for (const char* path :
         {"\\\\.\\COM0", "\\\\.\\COM256", "\\\\.\\COMx", "\\\\.\\COM", "\\\\.\\COM05",
          "\\\\.\\COM-1", "\\\\.\\COM+1", "\\\\.\\COM1 ", "\\\\.\\COM4294967297", "\\\\COM5",
          "\\\\.\\LPT1", "/dev/ttyUSB0", ""}) {
        EXPECT_EQ(serial::ParseComNumber(path), 0) << path;
    }
    EXPECT_EQ(serial::FormatComPath(12), "\\\\.\\COM12");
}

TEST(serial_ComPath, APortIsItsDevicePathWhenGivenElseItsComNumber) {
    EXPECT_EQ(serial::PortPath(3, ""), "\\\\.\\COM3");
    EXPECT_EQ(serial::PortPath(3, "/dev/ttyUSB1"), "/dev/ttyUSB1");
    // A path is taken as it is, even one that names a COM port.
    EXPECT_EQ(serial::PortPath(3, "COM7"), "COM7");
    EXPECT_EQ(serial::PortPath(0, "/tmp/pty"), "/tmp/pty");
}

std::string Describe(const std::vector<serial::ComPortEntry>& entries) {
    std::ostringstream out;
    for (const auto& e : entries) {
        out << "COM" << e.number << "=" << fs::path(e.device).filename().string()
            << (e.pinned ? " pinned" : "") << (e.present ? "" : " absent") << "\n";
    }
    return out.str();
}

TEST(serial_DefaultOrder, AdaptersFirstThenRealUartsAroundPinnedNumbers) {
    testsupport::TempConfigHome home;
    const serial::DeviceRoots roots{home.Path() / "dev", home.Path() / "sys"};
    fs::create_directories(roots.dev / "serial" / "by-id");
    auto add = [&](const char* name, const char* uartType = nullptr) {
        std::ofstream(roots.dev / name).put('\n');
        if (uartType != nullptr) {
            fs::create_directories(roots.sysTty / name);
            std::ofstream(roots.sysTty / name / "type") << uartType << '\n';
        }
    };
    // A single adapter and no links: COM1 without any set-up.
    add("ttyACM1");
    add("ttyS1", "0");  // a node without a UART behind it
    EXPECT_EQ(Describe(serial::ListComPorts(roots)), "COM1=ttyACM1\n");

    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS2", "console", "ttyUSB",
                             "ttyUSB01", "ttySAC0", "ttyACMx"}) {
        add(name);  // ttyS2 has no sysfs entry, the others are not numbered ports
    }
    add("ttyS0", "4");
    // COM2 pinned to ttyACM0 through a by-id style chain of links; COM3 pinned
    // to an adapter that is unplugged.
    fs::create_symlink("../../ttyACM0", roots.dev / "serial" / "by-id" / "usb-adapter");
    ASSERT_TRUE(serial::RegisterComPort(
        2, (roots.dev / "serial" / "by-id" / "usb-adapter").string(), nullptr));
    ASSERT_TRUE(serial::RegisterComPort(3, (home.Path() / "unplugged").string(), nullptr));
    EXPECT_EQ(Describe(serial::ListComPorts(roots)),
              "COM1=ttyUSB2\n"
              "COM2=usb-adapter pinned\n"
              "COM3=unplugged pinned absent\n"
              "COM4=ttyUSB10\n"
              "COM5=ttyACM1\n"
              "COM6=ttyS0\n");

    EXPECT_EQ(serial::ResolveDevicePath("\\\\.\\COM4", roots), roots.dev / "ttyUSB10");
    EXPECT_EQ(serial::ResolveDevicePath("com3", roots), home.Path() / "unplugged");
    EXPECT_EQ(serial::ResolveDevicePath("\\\\.\\COM7", roots), "");
    EXPECT_EQ(serial::ResolveDevicePath("/dev/pts/3", roots), "/dev/pts/3");
}

TEST(serial_PortLinks, ReplacedOrRemovedOnlyWhenSafe) {
    testsupport::TempConfigHome home;
    const std::string first = (home.Path() / "first").string();
    const std::string second = (home.Path() / "second").string();
    std::ofstream(first).put('\n');
    std::ofstream(second).put('\n');
    auto link = [&](int n) { return home.PortDirectory() / ("com" + std::to_string(n)); };
    std::string error;

    EXPECT_TRUE(serial::RegisterComPort(7, first, &error)) << error;
    EXPECT_TRUE(serial::RegisterComPort(7, first, &error)) << error;  // already so
    EXPECT_FALSE(serial::RegisterComPort(7, second, &error));         // first is present
    EXPECT_NE(error, "");
    fs::remove(first);  // its device went away: the link is stale
    EXPECT_TRUE(serial::RegisterComPort(7, second, &error)) << error;
    EXPECT_EQ(fs::read_symlink(link(7)), second);

    std::ofstream(link(8)).put('\n');  // made by hand, not a link
    EXPECT_FALSE(serial::RegisterComPort(8, second, &error));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(link(8))));
    EXPECT_FALSE(serial::RegisterComPort(256, second, &error));

    EXPECT_FALSE(serial::UnregisterComPort(7, first));  // no longer points there
    EXPECT_TRUE(fs::is_symlink(link(7)));
    EXPECT_TRUE(serial::UnregisterComPort(7, second));
    EXPECT_FALSE(fs::exists(fs::symlink_status(link(7))));
}

}  // namespace
