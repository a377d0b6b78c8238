#include "store/Coding.h"

#include <cstring>

#include "store/Utf8.h"

namespace quorv::store {

void EncodeFixedName(uint8_t* dst, size_t size, std::string_view text) {
    std::memset(dst, 0, size);
    if (size == 0) {
        return;
    }
    const std::string_view cut = Utf8Truncate(text, size - 1);
    std::memcpy(dst, cut.data(), cut.size());
}

std::string DecodeFixedName(const uint8_t* src, size_t size) {
    const void* nul = std::memchr(src, 0, size);
    const size_t n = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - src) : size;
    return std::string(reinterpret_cast<const char*>(src), n);
}

}  // namespace quorv::store
