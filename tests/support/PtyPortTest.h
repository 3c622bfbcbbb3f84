// Suites whose cases drive the port layer on the slave side of a fresh
// pseudo-terminal, the test playing the device on the master side.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "PseudoTerminal.h"
#include "serial/ComPort.h"

namespace testsupport {

class PtyPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        pty_ = std::make_unique<PseudoTerminal>();
        port_ = OpenComPort(pty_->SlavePath().c_str());
        ASSERT_NE(port_, INVALID_HANDLE_VALUE);
    }
    // Whatever the case did to the line, the port still closes cleanly.
    void TearDown() override {
        if (port_ != INVALID_HANDLE_VALUE) {
            EXPECT_EQ(CloseComPort(port_), 1);
        }
    }

    std::unique_ptr<PseudoTerminal> pty_;
    PortHandle port_ = INVALID_HANDLE_VALUE;
};

}  // namespace testsupport
