#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "store/FileLayout.h"

namespace quorv::store {

// The processing settings of a database (472 bytes at offset 2317).
struct TExtHeader {
    static constexpr int32_t kFillerSize = 256;
    static constexpr int32_t kDigestSize = 129;  // 128 characters and a NUL

    bool Compress = false;
    uint8_t CompressLevel = 0;
    std::string CompressAlgo;
    bool Encrypt = false;
    uint8_t EncryptMode = 0;
    std::string EncryptAlgo;
    bool WriteVerify = false;
    std::array<uint8_t, kFillerSize> Filler{};
    std::string PasswordDigest;

    // Fills Filler with random bytes 20..122, as every new file gets.
    void RandomizeFiller();

    static TExtHeader DecodeFrom(const uint8_t* src);
    void EncodeTo(uint8_t* dst) const;
};

}  // namespace quorv::store
