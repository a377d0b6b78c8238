#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "store/FileLayout.h"

namespace quorv::store {

// Where a memo or blob value lives (20 bytes inside the record's fixed part).
struct TBlobSlot {
    int32_t Offset = 0;
    int32_t Length = 0;    // stored (processed) length
    int32_t AreaSize = 0;  // bytes reserved at Offset, a multiple of 64
    std::array<uint8_t, 8> Reserved{};

    static TBlobSlot DecodeFrom(const uint8_t* src);
    void EncodeTo(uint8_t* dst) const;

    // A slot that was never filled in: all zero.
    bool IsBlank() const { return Offset == 0 && Length == 0 && AreaSize == 0; }

    // Why the slot cannot describe data in an image of imageSize bytes; empty if it can.
    std::string Problem(int64_t imageSize) const;
};

// The area reserved for a stored image of `length` bytes: the next multiple of 64 above it.
inline constexpr int32_t BlobAreaFor(int32_t length) {
    return length - length % kBlobAreaStep + kBlobAreaStep;
}

}  // namespace quorv::store
