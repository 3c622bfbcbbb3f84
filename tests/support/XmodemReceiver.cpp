#include "XmodemReceiver.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "TestFiles.h"

namespace testsupport {

using namespace std::chrono_literals;

std::string Noise(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    std::uint32_t x = seed;
    for (auto& b : bytes) {
        x = x * 1103515245U + 12345U;
        b = static_cast<char>(x >> 16);
    }
    return bytes;
}

std::string WriteNoise(const std::filesystem::path& file, std::size_t size, std::uint32_t seed) {
    const std::string bytes = Noise(size, seed);
    WriteFile(file, bytes);
    return bytes;
}

std::string Padded(const std::string& image) {
    std::string out = image + '\x1A';
    out.resize((out.size() + 127) / 128 * 128, '\0');
    return out;
}

Receiver ReceiveChecksumXmodem(const PseudoTerminal& pty, int cancelAt) {
    ReceiverQuirks quirks;
    quirks.cancelAt = cancelAt;
    return ReceiveChecksumXmodem(pty, quirks);
}

Receiver ReceiveChecksumXmodem(const PseudoTerminal& pty, const ReceiverQuirks& quirks) {
    Receiver r;
    bool eotRefused = false;
    std::string pending;
    auto take = [&](std::size_t n, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (pending.size() < n && std::chrono::steady_clock::now() < deadline) {
            pending += pty.ReadFor(20ms);
        }
        std::string got = pending.substr(0, std::min(n, pending.size()));
        pending.erase(0, got.size());
        return got;
    };
    std::string head;
    for (int i = 0; i < 20 && head.empty(); ++i) {
        pty.Write("\x15");
        head = take(1, 1000ms);
    }
    for (int block = 1; !head.empty(); ++block, head = take(1, 5000ms)) {
        if (head[0] == '\x04') {
            if (quirks.nakFirstEot && !eotRefused) {
                eotRefused = true;
                pty.Write("\x15");
                --block;  // no block came
                continue;
            }
            pty.Write("\x06");
            r.ended = true;
            break;
        }
        const std::string rest = take(131, 5000ms);
        if (head[0] != '\x01' || rest.size() != 131) {
            break;
        }
        if (block > 1 && static_cast<unsigned char>(rest[0]) == ((block - 1) & 0xFF)) {
            pty.Write("\x06");  // a repeat of the block it has: acknowledged, not stored
            --block;
            continue;
        }
        if (static_cast<unsigned char>(rest[0]) != (block & 0xFF)) {
            break;
        }
        if (block == quirks.cancelAt) {
            pty.Write("\x18\x18");
            break;
        }
        unsigned char sum = 0;
        for (int i = 2; i < 130; ++i) {
            sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(rest[i]));
        }
        if (sum != static_cast<unsigned char>(rest[130])) {
            break;
        }
        r.data += rest.substr(2, 128);
        pty.Write(block == quirks.doubleAckAt ? "\x06\x06" : "\x06");
    }
    return r;
}

}  // namespace testsupport
