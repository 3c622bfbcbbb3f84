// COM names to devices: parsing, links and the default order over fake /dev
// and /sys trees.
#include "serial/PortPath.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "TempConfigHome.h"

namespace {

namespace fs = std::filesystem;

TEST(serial_ComPath, ParseAcceptsOnlyCanonicalNumbersOneTo255) {
    const std::pair<const char*, int> cases[] = {
        {"\\\\.\\COM1", 1},
        {"\\\\.\\COM9", 9},
        {"\\\\.\\COM10", 10},
        {"\\\\.\\COM255", 255},
        {"\\\\.\\com12", 12},
        {"COM7", 7},
        {"com5", 5},
        {"cOm3", 3},
        {"\\\\.\\COM0", 0},
        {"\\\\.\\COM256", 0},
        {"\\\\.\\COMx", 0},
        {"\\\\.\\COM", 0},
        {"\\\\.\\COM05", 0},
        {"\\\\.\\COM-1", 0},
        {"\\\\.\\COM+1", 0},
        {"\\\\.\\COM1 ", 0},
        {"\\\\.\\COM4294967297", 0},
        {"\\\\COM5", 0},
        {"\\\\.\\LPT1", 0},
        {"/dev/ttyUSB0", 0},
        {"", 0},
    };
    for (const auto& [path, number] : cases) {
        EXPECT_EQ(serial::ParseComNumber(path), number) << path;
    }
    EXPECT_EQ(serial::FormatComPath(12), "\\\\.\\COM12");
    for (int n = 1; n <= serial::kMaxComNumber; ++n) {
        EXPECT_EQ(serial::ParseComNumber(serial::FormatComPath(n)), n);
    }
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        Set(value);
    }
    ~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }
    void Set(const char* value) {
        if (value != nullptr) {
            ::setenv(name_, value, 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(serial_PortDirectory, FollowsXdgConfigHomeElseHome) {
    TempConfigHome config;
    EXPECT_EQ(serial::UserPortDirectory(), config.Path() / "tirvel" / "ports");
    ScopedEnv home("HOME", "/home/someone");
    for (const char* xdg : {"", "relative/config"}) {
        ::setenv("XDG_CONFIG_HOME", xdg, 1);
        EXPECT_EQ(serial::UserPortDirectory(), "/home/someone/.config/tirvel/ports") << xdg;
    }
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(serial::UserPortDirectory(), "/home/someone/.config/tirvel/ports");
}

// A /dev and /sys/class/tty of our own making.
class FakeDevices {
public:
    explicit FakeDevices(const fs::path& root) : roots_{root / "dev", root / "sys"} {
        fs::create_directories(roots_.dev);
        fs::create_directories(roots_.sysTty);
    }
    fs::path Add(const std::string& name) const {
        std::ofstream(roots_.dev / name).put('\n');
        return roots_.dev / name;
    }
    fs::path AddUart(const std::string& name, const char* type) const {
        fs::create_directories(roots_.sysTty / name);
        std::ofstream(roots_.sysTty / name / "type") << type << '\n';
        return Add(name);
    }
    const serial::DeviceRoots& Roots() const { return roots_; }

private:
    serial::DeviceRoots roots_;
};

std::string Describe(const std::vector<serial::ComPortEntry>& entries) {
    std::ostringstream out;
    for (const auto& e : entries) {
        out << "COM" << e.number << "=" << fs::path(e.device).filename().string()
            << (e.pinned ? " pinned" : "") << (e.present ? "" : " absent") << "\n";
    }
    return out.str();
}

TEST(serial_DefaultOrder, AdaptersFirstThenRealUartsAroundPinnedNumbers) {
    TempConfigHome home;
    const FakeDevices devices(home.Path() / "fake");
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM1", "ttyACM0", "ttyS2", "console",
                             "ttyUSB", "ttyUSB01", "ttySAC0", "ttyACMx"}) {
        devices.Add(name);
    }
    devices.AddUart("ttyS0", "4");
    devices.AddUart("ttyS1", "0");  // a node without a UART behind it
    // COM2 pinned to ttyACM0 through a by-id style chain of links; COM3 pinned
    // to an adapter that is unplugged.
    const fs::path byId = devices.Roots().dev / "serial" / "by-id";
    fs::create_directories(byId);
    fs::create_symlink("../../ttyACM0", byId / "usb-adapter");
    std::string error;
    ASSERT_TRUE(serial::RegisterComPort(2, (byId / "usb-adapter").string(), &error)) << error;
    ASSERT_TRUE(serial::RegisterComPort(3, (home.Path() / "unplugged").string(), &error)) << error;

    EXPECT_EQ(Describe(serial::ListComPorts(devices.Roots())),
              "COM1=ttyUSB2\n"
              "COM2=usb-adapter pinned\n"
              "COM3=unplugged pinned absent\n"
              "COM4=ttyUSB10\n"
              "COM5=ttyACM1\n"
              "COM6=ttyS0\n");

    const auto& roots = devices.Roots();
    EXPECT_EQ(serial::ResolveDevicePath("\\\\.\\COM4", roots), roots.dev / "ttyUSB10");
    EXPECT_EQ(serial::ResolveDevicePath("com3", roots), home.Path() / "unplugged");
    EXPECT_EQ(serial::ResolveDevicePath("\\\\.\\COM7", roots), "");
    EXPECT_EQ(serial::ResolveDevicePath("/dev/pts/3", roots), "/dev/pts/3");
}

TEST(serial_DefaultOrder, SingleAdapterWithoutLinksIsCom1) {
    TempConfigHome home;
    const FakeDevices devices(home.Path() / "fake");
    const fs::path adapter = devices.Add("ttyACM3");
    devices.AddUart("ttyS0", "0");
    EXPECT_EQ(serial::ResolveDevicePath("\\\\.\\COM1", devices.Roots()), adapter);
    EXPECT_EQ(serial::ResolveDevicePath("\\\\.\\COM2", devices.Roots()), "");
}

class serial_PortLinks : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(first_).put('\n');
        std::ofstream(second_).put('\n');
    }
    fs::path Link(int n) const { return home_.PortDirectory() / ("com" + std::to_string(n)); }

    TempConfigHome home_;
    const std::string first_ = (home_.Path() / "first").string();
    const std::string second_ = (home_.Path() / "second").string();
};

TEST_F(serial_PortLinks, RegisterReplacesOnlyLinksWhoseTargetIsGone) {
    std::string error;
    EXPECT_TRUE(serial::RegisterComPort(7, first_, &error)) << error;
    EXPECT_TRUE(serial::RegisterComPort(7, first_, &error)) << error;  // already so
    EXPECT_FALSE(serial::RegisterComPort(7, second_, &error));
    EXPECT_NE(error, "");
    EXPECT_EQ(fs::read_symlink(Link(7)), first_);

    fs::remove(first_);  // the device went away: the link is stale
    EXPECT_TRUE(serial::RegisterComPort(7, second_, &error)) << error;
    EXPECT_EQ(fs::read_symlink(Link(7)), second_);

    std::ofstream(Link(8)).put('\n');  // made by hand, not a link
    EXPECT_FALSE(serial::RegisterComPort(8, second_, &error));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Link(8))));

    EXPECT_FALSE(serial::RegisterComPort(0, second_, &error));
    EXPECT_FALSE(serial::RegisterComPort(256, second_, &error));
}

TEST_F(serial_PortLinks, UnregisterRemovesOnlyTheExpectedLink) {
    std::string error;
    ASSERT_TRUE(serial::RegisterComPort(9, first_, &error)) << error;
    EXPECT_FALSE(serial::UnregisterComPort(9, second_));
    EXPECT_TRUE(fs::is_symlink(Link(9)));
    EXPECT_TRUE(serial::UnregisterComPort(9, first_));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Link(9))));
    EXPECT_FALSE(serial::UnregisterComPort(9, first_));
}

}  // namespace
