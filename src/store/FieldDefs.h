#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/TableHeader.h"

namespace quorv::store {

// A table's field as the storage layer sees it, with its place in the fixed part.
struct TStoreFieldDef {
    std::string Name;
    uint8_t FieldType = 0;
    int32_t Size = 0;
    bool SkipProcessing = false;
    int32_t Offset = 0;  // inside the record's fixed part
    int32_t Width = 0;   // stored bytes

    bool IsBlob() const;
};

class TStoreFieldDefs {
  public:
    TStoreFieldDefs() = default;
    explicit TStoreFieldDefs(const std::vector<TFieldItem>& items);

    int32_t Count() const { return static_cast<int32_t>(defs_.size()); }
    const TStoreFieldDef& operator[](int32_t i) const { return defs_[i]; }
    auto begin() const { return defs_.begin(); }
    auto end() const { return defs_.end(); }
    // Position of the field (name compared ignoring case), or -1.
    int32_t IndexOf(std::string_view name) const;
    // Sum of the stored widths: the size of a record's fixed part.
    int32_t RecordSize() const { return recordSize_; }
    // Number of the auto-increment field, or -1.
    int32_t AutoIncField() const { return autoIncField_; }

  private:
    std::vector<TStoreFieldDef> defs_;
    int32_t recordSize_ = 0;
    int32_t autoIncField_ = -1;
};

struct TStoreIndexDef {
    std::string Name;
    uint8_t Options = 0;
    std::vector<int32_t> FieldNumbers;  // key fields in key order
};

class TStoreIndexDefs {
  public:
    TStoreIndexDefs() = default;
    explicit TStoreIndexDefs(const std::vector<TIndexItem>& items);

    int32_t Count() const { return static_cast<int32_t>(defs_.size()); }
    const TStoreIndexDef& operator[](int32_t i) const { return defs_[i]; }
    auto begin() const { return defs_.begin(); }
    auto end() const { return defs_.end(); }

  private:
    std::vector<TStoreIndexDef> defs_;
};

}  // namespace quorv::store
