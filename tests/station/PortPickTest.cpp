// Ports picked from the list join those typed, in the form they are typed in,
// each once.
#include <gtest/gtest.h>

#include "station/PortList.h"
#include "station/PortPick.h"

namespace {

using station::AddPickedPort;

const serial::PresentPort kUsb0{"/dev/ttyUSB0", 1};
const serial::PresentPort kUsb1{"/dev/ttyUSB1", 2};
const serial::PresentPort kCom5{"COM5", 5};           // as Windows lists it
const serial::PresentPort kBoard{"/dev/ttyAMA0", 0};  // no COM number reaches it

TEST(PortPick, FourFixturesPickedOneAfterAnotherAreAllInTheField) {
    std::string typed;
    for (const char* path : {"/dev/ttyUSB2", "/dev/ttyUSB0", "/dev/ttyUSB3", "/dev/ttyUSB1"}) {
        typed = AddPickedPort(typed, {path, 0});
    }
    EXPECT_EQ(typed, "/dev/ttyUSB2,/dev/ttyUSB0,/dev/ttyUSB3,/dev/ttyUSB1");
    EXPECT_EQ(std::get<std::vector<station::StationPort>>(station::ParseTypedPorts(typed)).size(),
              4u);
}

TEST(PortPick, APortNamedAlreadyLeavesTheTextAsItIs) {
    EXPECT_EQ(AddPickedPort("/dev/ttyUSB0,/dev/ttyUSB1", kUsb0), "/dev/ttyUSB0,/dev/ttyUSB1");
    EXPECT_EQ(AddPickedPort("1-6", kCom5), "1-6");
    EXPECT_EQ(AddPickedPort("9,5", kCom5), "9,5");
    EXPECT_EQ(AddPickedPort("1,2", kUsb1), "1,2");
}

TEST(PortPick, TheFormOfTheTypedListDecidesWhatLands) {
    // Nothing typed yet: what the list shows, as far as the port list takes it.
    EXPECT_EQ(AddPickedPort("", kUsb1), "/dev/ttyUSB1");
    EXPECT_EQ(AddPickedPort("", kCom5), "5");
    // COM numbers typed: the number that reaches the device now.
    EXPECT_EQ(AddPickedPort("3-4", kUsb1), "3-4,2");
    EXPECT_EQ(AddPickedPort("7", kCom5), "7,5");
    // A path list takes paths; a comma the operator left is not doubled.
    EXPECT_EQ(AddPickedPort("/dev/ttyUSB0", kBoard), "/dev/ttyUSB0,/dev/ttyAMA0");
    EXPECT_EQ(AddPickedPort("/dev/ttyUSB0,", kUsb1), "/dev/ttyUSB0,/dev/ttyUSB1");
    EXPECT_EQ(AddPickedPort("3,", kCom5), "3,5");
    // A device no number reaches still joins, and Start says why it cannot be.
    EXPECT_EQ(AddPickedPort("3", kBoard), "3,/dev/ttyAMA0");
}

}  // namespace
