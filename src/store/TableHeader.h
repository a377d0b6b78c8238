#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "store/FileLayout.h"

namespace quorv::store {

// One field of a table header (43 bytes).
struct TFieldItem {
    std::string Name;
    uint8_t FieldType = 0;
    int32_t Size = 0;
    uint8_t SkipProcessing = 0;

    static TFieldItem DecodeFrom(const uint8_t* src);
    void EncodeTo(uint8_t* dst) const;
};

// Index option bits of TIndexItem::Options.
enum TSDIndexOption : uint8_t {
    tiPrimary = 1 << 0,
    tiUnique = 1 << 1,
    tiDescending = 1 << 2,
    tiCaseInsensitive = 1 << 3,
};

// One index of a table header (78 bytes).
struct TIndexItem {
    std::string Name;
    uint8_t Options = 0;
    std::array<int32_t, kMaxIndexFields> FieldNumbers{-1, -1, -1, -1, -1, -1, -1, -1};
    int32_t FirstBlock = 0;
    int32_t Head = 0;

    static TIndexItem DecodeFrom(const uint8_t* src);
    void EncodeTo(uint8_t* dst) const;
};

// The description of one table (4821 bytes), appended when the table is created.
struct TTableHeader {
    // Offsets inside the header of the fields that change as records come and go.
    static constexpr int32_t kFirstBlockOffset = 33;
    static constexpr int32_t kRecordCountOffset = 37;
    static constexpr int32_t kAutoIncOffset = 41;
    static constexpr int32_t kFieldCountOffset = 45;
    static constexpr int32_t kFieldItemsOffset = 49;
    static constexpr int32_t kIndexCountOffset = 4177;
    static constexpr int32_t kIndexItemsOffset = 4181;

    std::string Name;
    int32_t FirstRecordBlock = 0;
    int32_t RecordTabCount = 0;
    int32_t AutoIncCounter = 0;
    std::vector<TFieldItem> Fields;
    std::vector<TIndexItem> Indexes;

    // Decoding keeps the counts it finds (clamped to the slots there are) so that
    // Problem can report them.
    int32_t StoredFieldCount = 0;
    int32_t StoredIndexCount = 0;

    static TTableHeader DecodeFrom(const uint8_t* src);
    void EncodeTo(uint8_t* dst) const;

    // Why the header cannot describe a table of an image of imageSize bytes; empty if it can.
    std::string Problem(int64_t imageSize) const;
};

}  // namespace quorv::store
