// SHA-256, so that the events log can name a received firmware image by its
// digest and a test can compare it with `sha256sum` of the file that was sent.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kavrelsim {

class Sha256 {
public:
    Sha256();
    void Update(std::string_view bytes);
    // The digest; the object is spent afterwards.
    std::array<std::uint8_t, 32> Finish();

    // Lower-case hex digest of `bytes`, as sha256sum prints it.
    static std::string HexDigest(std::string_view bytes);

private:
    void Compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::uint8_t buffer_[64] = {};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;  // bytes hashed so far
};

}  // namespace kavrelsim
