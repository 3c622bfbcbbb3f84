// kavrel-sim's AT interpreter fed straight with fuzzed line traffic
// (SimInput.h) on injected time, with the device off and on again now and
// then; every few pieces go at another rate. The item table must keep its items, and values may
// change only to what their rules accept, reported through the values-changed handler.
//
// Input: byte 0 chooses a password and the echo; the rest are pieces, where a
// piece of kind 3 without bytes cycles the power.
#include <string>
#include <vector>

#include "Device.h"
#include "FuzzCheck.h"
#include "SimInput.h"

namespace {

using kavrelsim::LineSettings;

constexpr LineSettings kOtherLine{9600, 8, 'N', 1};

std::vector<std::string> Values(const kavrelsim::ParameterTable& table) {
    std::vector<std::string> values;
    for (const auto& p : table.Items()) {
        values.push_back(p.value);
    }
    return values;
}

}  // namespace

FUZZ_TARGET(sim_at) {
    using namespace kavrelsim;
    if (size < 1) {
        return 0;
    }
    DeviceOptions options;
    options.password = (data[0] & 0x01) != 0 ? "1234" : "";
    options.echo = (data[0] & 0x02) != 0;
    options.window = std::chrono::milliseconds(10000);
    Device device = fuzzsupport::FuzzedDevice(std::move(options));
    int changes = 0;
    device.SetValuesChangedHandler([&](const ParameterTable&) { ++changes; });

    Millis now{0};
    device.PowerOn(now);
    std::vector<std::string> before = Values(device.Table());
    std::size_t output = 0;
    fuzzsupport::SimPieces pieces(data + 1, size - 1);
    fuzzsupport::SimPiece piece;
    int step = 0;
    while (pieces.Next(piece)) {
        now += piece.pause;
        const int changesBefore = changes;
        if (piece.bytes.empty() && piece.kind == 3) {
            device.PowerOff(now);
            device.PowerOn(now);
        } else {
            // Now and then at the loader's rate (a 'u' there breaks in) or a
            // rate nobody listens at.
            const int turn = step++ % 7;
            const LineSettings& line = turn == 6   ? kConsoleLine
                                       : turn == 4 ? kOtherLine
                                                   : kCommandLine;
            device.Receive(piece.bytes, line, now);
        }
        device.Advance(now);
        output += device.TakeOutput(now).size();

        const auto& items = device.Table().Items();
        FUZZ_CHECK(items.size() == fuzzsupport::FactoryTable().Items().size());
        const std::vector<std::string> after = Values(device.Table());
        for (std::size_t i = 0; i < items.size() && i < fuzzsupport::FactoryTable().Items().size();
             ++i) {
            FUZZ_CHECK(items[i].number == fuzzsupport::FactoryTable().Items()[i].number);
            FUZZ_CHECK(items[i].name == fuzzsupport::FactoryTable().Items()[i].name);
            if (after[i] != before[i]) {
                FUZZ_CHECK(items[i].rule.Accepts(after[i]) || after[i] == items[i].factory);
                FUZZ_CHECK(changes > changesBefore);
            }
        }
        before = after;
    }
    // Whatever is still queued comes out in the end.
    now += std::chrono::hours(1);
    device.Advance(now);
    output += device.TakeOutput(now).size();
    FUZZ_CHECK(!device.NextOutputDue().has_value());
    static_cast<void>(output);
    return 0;
}
