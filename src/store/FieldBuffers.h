#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/processing/Streams.h"

namespace quorv::store {

class TStoreFieldDefs;

// The value of one field handed to the storage object for a write.
struct TFieldBufferItem {
    // Set for every field the write is to store; on append an unset field stores zeros
    // (an empty value for memo and blob fields).
    bool Write = false;
    // Native value of a fixed-width field in its stored byte order (little-endian numbers,
    // IEEE doubles); for string fields the text, which is cut to the declared size.
    std::string Bytes;
    // Memo and blob fields: the whole value (not owned; read from its start).
    TStream* Blob = nullptr;
};

// One record's values, one item per field of the table.
class TFieldBuffers {
  public:
    explicit TFieldBuffers(int32_t fieldCount) : items_(static_cast<size_t>(fieldCount)) {}

    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    TFieldBufferItem& operator[](int32_t i) { return items_.at(static_cast<size_t>(i)); }
    const TFieldBufferItem& operator[](int32_t i) const {
        return items_.at(static_cast<size_t>(i));
    }

    void SetText(int32_t field, std::string_view text);
    void SetInt32(int32_t field, int32_t value);
    void SetBlob(int32_t field, TStream* value);

    // The i32 value of a field (0 when not set), as auto-increment handling reads it.
    int32_t Int32(int32_t field) const;

  private:
    std::vector<TFieldBufferItem> items_;
};

}  // namespace quorv::store
