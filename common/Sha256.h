// SHA-256: the simulator names a received firmware image by its digest, and a
// device's record names the profile and image it was given by theirs, as
// `sha256sum` prints them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace common {

class Sha256 {
public:
    Sha256();
    void Update(std::string_view bytes);
    // The digest; the object is spent afterwards.
    std::array<std::uint8_t, 32> Finish();
    // The same as sha256sum prints it: lower-case hex.
    std::string FinishHex();

    // Lower-case hex digest of `bytes`, as sha256sum prints it.
    static std::string HexDigest(std::string_view bytes);

private:
    void Compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::uint8_t buffer_[64] = {};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;  // bytes hashed so far
};

}  // namespace common
