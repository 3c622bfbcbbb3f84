// The ports offered to pick from: the tty devices a fake sysfs shows with a
// driver behind them, in natural order, each with the COM number that reaches
// it; and the COM names a Windows system lists.
#include "serial/PresentPorts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "TempConfigHome.h"

namespace {

namespace fs = std::filesystem;

std::string Describe(const std::vector<serial::PresentPort>& ports, const fs::path& dev) {
    std::ostringstream out;
    for (const auto& p : ports) {
        out << fs::path(p.name).lexically_relative(dev).string() << "=COM" << p.comNumber << "\n";
    }
    return out.str();
}

TEST(serial_PresentPorts, DevicesWithADriverInNaturalOrderWithTheirComNumbers) {
    testsupport::TempConfigHome home;
    const serial::DeviceRoots roots{home.Path() / "dev", home.Path() / "sys"};
    fs::create_directories(roots.dev);
    // A device node; in sysfs with a driver (device), and for a ttyS its UART type.
    auto add = [&](const char* name, bool driver, const char* uartType = nullptr) {
        std::ofstream(roots.dev / name).put('\n');
        fs::create_directories(roots.sysTty / name);
        if (driver) {
            fs::create_directories(roots.sysTty / name / "device");
        }
        if (uartType != nullptr) {
            std::ofstream(roots.sysTty / name / "type") << uartType << '\n';
        }
    };
    EXPECT_TRUE(serial::ListPresentPorts(roots).empty());

    add("ttyUSB10", true);
    add("ttyUSB2", true);
    add("ttyACM0", true);
    add("ttyS0", true, "4");
    add("ttyS1", true, "0");  // the kernel could drive one, but no UART answered
    add("tty3", false);       // a virtual console
    add("ttyAMA0", true);     // a board's own UART: present, though no COM number reaches it
    fs::create_directories(roots.sysTty / "ttyUSB7" / "device");  // no node to open here
    // COM1 pinned to ttyUSB10 by the user; the others take the free numbers.
    ASSERT_TRUE(serial::RegisterComPort(1, (roots.dev / "ttyUSB10").string(), nullptr));

    EXPECT_EQ(Describe(serial::ListPresentPorts(roots), roots.dev),
              "ttyACM0=COM3\n"
              "ttyAMA0=COM0\n"
              "ttyS0=COM4\n"
              "ttyUSB2=COM2\n"
              "ttyUSB10=COM1\n");
}

TEST(serial_PresentPorts, ComNamesOnceEachByNumberAndNothingElse) {
    const auto ports =
        serial::PortsFromComNames({"COM10", "COM2", "com3", "COM2", "LPT1", "COM0", "", "COM256"});
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].name, "COM2");
    EXPECT_EQ(ports[0].comNumber, 2);
    EXPECT_EQ(ports[1].name, "COM3");
    EXPECT_EQ(ports[2].name, "COM10");
    EXPECT_EQ(ports[2].comNumber, 10);
}

}  // namespace
