#pragma once

#include <cstdint>
#include <vector>

#include "store/FileLayout.h"

namespace quorv::store {

// One record-tab entry (5 bytes): where the record's fixed part is, and whether it is gone.
struct TRecordTabItem {
    int32_t DataOffset = 0;
    uint8_t Deleted = 0;

    static constexpr int32_t kDeletedFlagOffset = 4;

    static TRecordTabItem DecodeFrom(const uint8_t* src);
    void EncodeTo(uint8_t* dst) const;
};

using TRecordTabItems = std::vector<TRecordTabItem>;

// A record-tab block (5124 bytes): the next block's offset and 1024 entries.
struct TRecordTabBlock {
    int32_t Next = 0;
    std::vector<TRecordTabItem> Items = std::vector<TRecordTabItem>(kTabEntriesPerBlock);

    static TRecordTabBlock DecodeFrom(const uint8_t* src);
    void EncodeTo(uint8_t* dst) const;
};

// Position of entry `index` (0..1023) inside its block.
inline constexpr int32_t RecordTabEntryOffset(int32_t index) {
    return 4 + index * kRecordTabItemSize;
}

}  // namespace quorv::store
