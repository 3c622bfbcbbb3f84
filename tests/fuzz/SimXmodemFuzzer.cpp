// kavrel-sim's boot loader: broken into and told "Y", then fed the fuzz input
// as the sender's traffic (SimInput.h) on injected time. An image it delivers
// may hold only blocks that really came over the line whole: in its place,
// with the right number, its complement and a correct checksum or CRC.
//
// Input: bytes 0-1 the start signal and faults; the rest are pieces.
#include <string>
#include <vector>

#include "Device.h"
#include "FuzzCheck.h"
#include "SimInput.h"

namespace {

// True when `line` carries block `index` of the image framed in either variant.
bool CameWhole(const std::string& line, const std::string& image, std::size_t index) {
    const std::string data = image.substr(index * 128, 128);
    std::string head;
    head += '\x01';
    head += static_cast<char>((index + 1) & 0xFF);
    head += static_cast<char>(0xFF - ((index + 1) & 0xFF));
    const std::string framed = head + data;
    unsigned sum = 0;
    for (char c : data) {
        sum += static_cast<unsigned char>(c);
    }
    const std::uint16_t crc = kavrelsim::Crc16Xmodem(data);
    const std::string withSum = framed + static_cast<char>(sum & 0xFF);
    const std::string withCrc =
        framed + static_cast<char>(crc >> 8) + static_cast<char>(crc & 0xFF);
    return line.find(withSum) != std::string::npos || line.find(withCrc) != std::string::npos;
}

}  // namespace

FUZZ_TARGET(sim_xmodem) {
    using namespace kavrelsim;
    if (size < 3) {
        return 0;
    }
    DeviceOptions options;
    options.echo = false;
    options.loader.start = (data[0] & 0x01) != 0 ? StartSignal::kCrc : StartSignal::kNak;
    Faults faults;
    faults.nakBlock = (data[0] >> 1) & 0x03;
    faults.dropAck = (data[0] >> 3) & 0x03;
    faults.garbleBlock = (data[0] >> 5) & 0x03;
    faults.cancelAtBlock = (data[1] & 0x80) != 0 ? 3 : 0;
    Device device = fuzzsupport::FuzzedDevice(std::move(options), faults);
    std::vector<std::string> images;
    device.SetFirmwareHandler([&](const std::string& image) { images.push_back(image); });

    Millis now{0};
    device.PowerOn(now);
    now += Millis(10);
    device.Receive("u", kConsoleLine, now);
    now += Millis(10);
    device.Receive("\r", kConsoleLine, now);
    now += Millis(10);
    device.Receive("Y\r", kConsoleLine, now);
    device.TakeOutput(now, std::string::npos, kConsoleLine);

    std::string line;  // everything the sender put on the line
    fuzzsupport::SimPieces pieces(data + 2, size - 2);
    fuzzsupport::SimPiece piece;
    while (pieces.Next(piece)) {
        now += piece.pause;
        device.Advance(now);
        device.Receive(piece.bytes, kConsoleLine, now);
        line.append(piece.bytes);
        device.Advance(now);
        device.TakeOutput(now, std::string::npos, kConsoleLine);
    }
    now += std::chrono::minutes(2);
    device.Advance(now);
    device.TakeOutput(now, std::string::npos, kConsoleLine);

    for (const std::string& image : images) {
        FUZZ_CHECK(image.size() % 128 == 0);
        for (std::size_t i = 0; i < image.size() / 128; ++i) {
            FUZZ_CHECK(CameWhole(line, image, i));
        }
    }
    // The transfer never touches the configuration items.
    FUZZ_CHECK(device.Table().Items().size() == fuzzsupport::FactoryTable().Items().size());
    for (std::size_t i = 0; i < device.Table().Items().size(); ++i) {
        FUZZ_CHECK(device.Table().Items()[i].value == fuzzsupport::FactoryTable().Items()[i].value);
    }
    return 0;
}
