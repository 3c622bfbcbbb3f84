// Both simulator targets read their input as timed pieces of line traffic:
// a control byte c, then n = c & 0x3F bytes that arrive together after a pause
// of 1 ms, 20 ms, 1.1 s or 16 s (c >> 6). n = 0 is the pause alone.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "DefaultTable.h"
#include "Device.h"
#include "Events.h"

namespace fuzzsupport {

struct SimPiece {
    std::chrono::milliseconds pause;
    std::string_view bytes;
    int kind;  // c >> 6
};

class SimPieces {
public:
    SimPieces(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Next(SimPiece& piece) {
        if (pos_ >= size_) {
            return false;
        }
        static constexpr std::chrono::milliseconds kPauses[4] = {
            std::chrono::milliseconds(1), std::chrono::milliseconds(20),
            std::chrono::milliseconds(1100), std::chrono::milliseconds(16000)};
        const std::uint8_t c = data_[pos_++];
        std::size_t n = c & 0x3F;
        if (n > size_ - pos_) {
            n = size_ - pos_;
        }
        piece.kind = c >> 6;
        piece.pause = kPauses[piece.kind];
        piece.bytes = std::string_view(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Events go where the simulator's own log would write them, in the same way.
inline kavrelsim::EventSink DumpingSink() {
    return [](const kavrelsim::Json& event) {
        static_cast<void>(event.dump(-1, ' ', false, kavrelsim::Json::error_handler_t::replace));
    };
}

// The table the devices come with: the English factory one.
inline const kavrelsim::ParameterTable& FactoryTable() {
    static const kavrelsim::ParameterTable table =
        kavrelsim::DefaultTable(kavrelsim::Language::kEnglish);
    return table;
}

// A device with the factory table, its events dumped and without debug output.
inline kavrelsim::Device FuzzedDevice(kavrelsim::DeviceOptions options,
                                      kavrelsim::Faults faults = {}) {
    options.debug = {};
    return kavrelsim::Device(std::move(options), FactoryTable(), faults, DumpingSink());
}

}  // namespace fuzzsupport
