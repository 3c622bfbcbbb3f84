// A small XMODEM sender for the tests: builds blocks the way a sender must,
// and lets a test spoil them on purpose.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "BootLoader.h"

namespace kavrelsim::testing {

inline constexpr char kSoh = 0x01;
inline constexpr char kEot = 0x04;
inline constexpr char kAck = 0x06;
inline constexpr char kNak = 0x15;
inline constexpr char kCan = 0x18;

// Block `number` (8 bits) carrying `data` (up to 128 bytes; a shorter piece
// gets SUB and zeros behind it).
inline std::string Block(int number, std::string_view data, bool crc) {
    std::string field(data.substr(0, 128));
    if (field.size() < 128) {
        field += '\x1A';
        field.resize(128, '\0');
    }
    std::string b;
    b += kSoh;
    b += static_cast<char>(number & 0xFF);
    b += static_cast<char>(0xFF - (number & 0xFF));
    b += field;
    if (crc) {
        std::uint16_t c = Crc16Xmodem(field);
        b += static_cast<char>(c >> 8);
        b += static_cast<char>(c & 0xFF);
    } else {
        unsigned sum = 0;
        for (char ch : field) {
            sum += static_cast<unsigned char>(ch);
        }
        b += static_cast<char>(sum & 0xFF);
    }
    return b;
}

// `size` bytes that differ from block to block.
inline std::string Image(std::size_t size) {
    std::string s;
    for (std::size_t i = 0; i < size; ++i) {
        s += static_cast<char>((i * 7 + i / 128) & 0xFF);
    }
    return s;
}

// The image as the receiver stores it: whole blocks, SUB and zeros behind.
inline std::string Padded(std::string_view image) {
    std::string s(image);
    if (s.size() % 128 != 0) {
        s += '\x1A';
        s.resize((s.size() + 127) / 128 * 128, '\0');
    }
    return s;
}

}  // namespace kavrelsim::testing
