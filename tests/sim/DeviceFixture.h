// Suites that drive one device model with injected time, its events recorded.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "DefaultTable.h"
#include "Device.h"
#include "EventRecorder.h"

namespace kavrelsim::testing {

class DeviceFixture : public ::testing::Test {
protected:
    // A device switched on at time 0, with the English items.
    Device& SwitchOn(DeviceOptions options, Faults faults) {
        device_.emplace(std::move(options), DefaultTable(Language::kEnglish), std::move(faults),
                        recorder_.Sink());
        device_->PowerOn(std::chrono::milliseconds(0));
        return *device_;
    }
    // Sends bytes at `now` and returns what the device answers by then, both
    // on the one line.
    std::string Say(std::string_view bytes,
                    std::chrono::milliseconds now = std::chrono::milliseconds(100),
                    const LineSettings& line = kCommandLine) {
        device_->Receive(bytes, line, now);
        return device_->TakeOutput(now, std::string::npos, line);
    }

    std::optional<Device> device_;
    EventRecorder recorder_;
};

}  // namespace kavrelsim::testing
