#pragma once

#include <cstdint>

namespace quorv::store {

// Positions and sizes of the database file's blocks. Offsets in the file are i32, so an
// image can never pass 2^31 - 1 bytes.
inline constexpr int32_t kFileIdentOffset = 0;
inline constexpr int32_t kFileIdentSize = 12;
inline constexpr int32_t kReservedAreaOffset = 12;
inline constexpr int32_t kReservedAreaSize = 2305;
inline constexpr int32_t kReservedEncipheredSize = 257;
inline constexpr int32_t kExtHeaderOffset = 2317;
inline constexpr int32_t kExtHeaderSize = 472;
inline constexpr int32_t kTableDirectoryOffset = 2789;
inline constexpr int32_t kTableDirectorySize = 1032;
inline constexpr int32_t kFixedPartSize = 3821;
inline constexpr int32_t kDataAreaOffset = kFixedPartSize;
inline constexpr int64_t kMaxImageSize = INT32_MAX;

inline constexpr int32_t kNameSize = 33;  // 32 characters and a NUL
inline constexpr int32_t kMaxNameLength = 32;

inline constexpr int32_t kMaxTables = 256;
inline constexpr int32_t kMaxFields = 95;
inline constexpr int32_t kFieldItemSlots = 96;
inline constexpr int32_t kMaxIndexes = 8;
inline constexpr int32_t kMaxIndexFields = 8;

inline constexpr int32_t kTableHeaderSize = 4821;
inline constexpr int32_t kFieldItemSize = 43;
inline constexpr int32_t kIndexItemSize = 78;

inline constexpr int32_t kTabEntriesPerBlock = 1024;
inline constexpr int32_t kRecordTabItemSize = 5;
inline constexpr int32_t kRecordTabBlockSize = 4 + kTabEntriesPerBlock * kRecordTabItemSize;
inline constexpr int32_t kIndexTabItemSize = 8;
inline constexpr int32_t kIndexTabBlockSize = 4 + kTabEntriesPerBlock * kIndexTabItemSize;

inline constexpr int32_t kBlobSlotSize = 20;
inline constexpr int32_t kBlobAreaStep = 64;

inline constexpr int32_t kMaxStringSize = 8192;

}  // namespace quorv::store
