#include "store/TableDirectory.h"

#include <cstring>

#include "store/Coding.h"

namespace quorv::store {

TTableDirectory TTableDirectory::DecodeFrom(const uint8_t* src) {
    TTableDirectory d;
    d.Count = DecodeFixed32(src);
    for (int i = 0; i < kMaxTables; ++i) {
        d.Offsets[i] = DecodeFixed32(src + 8 + 4 * i);
    }
    return d;
}

void TTableDirectory::EncodeTo(uint8_t* dst) const {
    std::memset(dst, 0, kTableDirectorySize);
    EncodeFixed32(dst, Count);
    for (int i = 0; i < kMaxTables; ++i) {
        EncodeFixed32(dst + 8 + 4 * i, Offsets[i]);
    }
}

std::string TTableDirectory::Problem(int64_t imageSize) const {
    if (Count < 0 || Count > kMaxTables) {
        return "table count " + std::to_string(Count) + " is out of range";
    }
    for (int i = 0; i < Count; ++i) {
        const int64_t off = Offsets[i];
        if (off < kDataAreaOffset || off + kTableHeaderSize > imageSize) {
            return "header of table " + std::to_string(i) + " lies outside the file";
        }
    }
    return {};
}

void TTableDirectory::Append(int32_t headerOffset) {
    Offsets[Count++] = headerOffset;
}

void TTableDirectory::Remove(int32_t index) {
    for (int i = index; i + 1 < Count; ++i) {
        Offsets[i] = Offsets[i + 1];
    }
    Offsets[--Count] = 0;
}

}  // namespace quorv::store
