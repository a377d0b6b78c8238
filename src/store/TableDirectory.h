#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "store/FileLayout.h"

namespace quorv::store {

// The list of tables (1032 bytes at offset 2789): a count and the header offsets, in the
// order the tables were created.
struct TTableDirectory {
    int32_t Count = 0;
    std::array<int32_t, kMaxTables> Offsets{};

    static TTableDirectory DecodeFrom(const uint8_t* src);
    void EncodeTo(uint8_t* dst) const;

    // Why the directory cannot belong to an image of imageSize bytes; empty when it can.
    std::string Problem(int64_t imageSize) const;

    void Append(int32_t headerOffset);
    void Remove(int32_t index);
};

}  // namespace quorv::store
