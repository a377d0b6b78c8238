#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorv::store {

// Little-endian integers as the file stores them.
inline void EncodeFixed32(uint8_t* dst, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    dst[0] = static_cast<uint8_t>(v);
    dst[1] = static_cast<uint8_t>(v >> 8);
    dst[2] = static_cast<uint8_t>(v >> 16);
    dst[3] = static_cast<uint8_t>(v >> 24);
}

inline int32_t DecodeFixed32(const uint8_t* src) {
    return static_cast<int32_t>(
        static_cast<uint32_t>(src[0]) | (static_cast<uint32_t>(src[1]) << 8) |
        (static_cast<uint32_t>(src[2]) << 16) | (static_cast<uint32_t>(src[3]) << 24));
}

inline void EncodeFixed16(uint8_t* dst, int16_t value) {
    const auto v = static_cast<uint16_t>(value);
    dst[0] = static_cast<uint8_t>(v);
    dst[1] = static_cast<uint8_t>(v >> 8);
}

inline int16_t DecodeFixed16(const uint8_t* src) {
    return static_cast<int16_t>(static_cast<uint16_t>(src[0] | (src[1] << 8)));
}

inline void EncodeFixed64(uint8_t* dst, int64_t value) {
    const auto v = static_cast<uint64_t>(value);
    for (int i = 0; i < 8; ++i) {
        dst[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

inline int64_t DecodeFixed64(const uint8_t* src) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) {
        v = (v << 8) | src[i];
    }
    return static_cast<int64_t>(v);
}

// A name field: text, one NUL, NUL filling to `size` bytes. The text is cut to size - 1
// bytes without splitting a UTF-8 character.
void EncodeFixedName(uint8_t* dst, size_t size, std::string_view text);

// The text up to the first NUL, never reading past `size` bytes.
std::string DecodeFixedName(const uint8_t* src, size_t size);

}  // namespace quorv::store
