#include "store/TableHeader.h"

#include <algorithm>
#include <cstring>

#include "store/Coding.h"
#include "store/FieldTypes.h"

namespace quorv::store {

TFieldItem TFieldItem::DecodeFrom(const uint8_t* src) {
    TFieldItem f;
    f.Name = DecodeFixedName(src, kNameSize);
    f.FieldType = src[33];
    f.Size = DecodeFixed32(src + 34);
    f.SkipProcessing = src[38];
    return f;
}

void TFieldItem::EncodeTo(uint8_t* dst) const {
    std::memset(dst, 0, kFieldItemSize);
    EncodeFixedName(dst, kNameSize, Name);
    dst[33] = FieldType;
    EncodeFixed32(dst + 34, Size);
    dst[38] = SkipProcessing;
}

TIndexItem TIndexItem::DecodeFrom(const uint8_t* src) {
    TIndexItem x;
    x.Name = DecodeFixedName(src, kNameSize);
    x.Options = src[33];
    for (int i = 0; i < kMaxIndexFields; ++i) {
        x.FieldNumbers[i] = DecodeFixed32(src + 34 + 4 * i);
    }
    x.FirstBlock = DecodeFixed32(src + 66);
    x.Head = DecodeFixed32(src + 70);
    return x;
}

void TIndexItem::EncodeTo(uint8_t* dst) const {
    std::memset(dst, 0, kIndexItemSize);
    EncodeFixedName(dst, kNameSize, Name);
    dst[33] = Options;
    for (int i = 0; i < kMaxIndexFields; ++i) {
        EncodeFixed32(dst + 34 + 4 * i, FieldNumbers[i]);
    }
    EncodeFixed32(dst + 66, FirstBlock);
    EncodeFixed32(dst + 70, Head);
}

TTableHeader TTableHeader::DecodeFrom(const uint8_t* src) {
    TTableHeader h;
    h.Name = DecodeFixedName(src, kNameSize);
    h.FirstRecordBlock = DecodeFixed32(src + kFirstBlockOffset);
    h.RecordTabCount = DecodeFixed32(src + kRecordCountOffset);
    h.AutoIncCounter = DecodeFixed32(src + kAutoIncOffset);
    h.StoredFieldCount = DecodeFixed32(src + kFieldCountOffset);
    const int fields = std::clamp(h.StoredFieldCount, 0, kMaxFields);
    for (int i = 0; i < fields; ++i) {
        h.Fields.push_back(TFieldItem::DecodeFrom(src + kFieldItemsOffset + i * kFieldItemSize));
    }
    h.StoredIndexCount = DecodeFixed32(src + kIndexCountOffset);
    const int indexes = std::clamp(h.StoredIndexCount, 0, kMaxIndexes);
    for (int i = 0; i < indexes; ++i) {
        h.Indexes.push_back(TIndexItem::DecodeFrom(src + kIndexItemsOffset + i * kIndexItemSize));
    }
    return h;
}

void TTableHeader::EncodeTo(uint8_t* dst) const {
    std::memset(dst, 0, kTableHeaderSize);
    EncodeFixedName(dst, kNameSize, Name);
    EncodeFixed32(dst + kFirstBlockOffset, FirstRecordBlock);
    EncodeFixed32(dst + kRecordCountOffset, RecordTabCount);
    EncodeFixed32(dst + kAutoIncOffset, AutoIncCounter);
    EncodeFixed32(dst + kFieldCountOffset, static_cast<int32_t>(Fields.size()));
    for (size_t i = 0; i < Fields.size() && i < kFieldItemSlots; ++i) {
        Fields[i].EncodeTo(dst + kFieldItemsOffset + i * kFieldItemSize);
    }
    EncodeFixed32(dst + kIndexCountOffset, static_cast<int32_t>(Indexes.size()));
    for (size_t i = 0; i < Indexes.size() && i < kMaxIndexes; ++i) {
        Indexes[i].EncodeTo(dst + kIndexItemsOffset + i * kIndexItemSize);
    }
}

std::string TTableHeader::Problem(int64_t imageSize) const {
    if (StoredFieldCount < 1 || StoredFieldCount > kMaxFields) {
        return "field count " + std::to_string(StoredFieldCount) + " is out of range";
    }
    int autoIncs = 0;
    for (const auto& f : Fields) {
        if (!IsAcceptedFieldType(f.FieldType)) {
            return "field '" + f.Name + "' has the unknown type " + std::to_string(f.FieldType);
        }
        if (IsSizedFieldType(f.FieldType) && (f.Size < 1 || f.Size > kMaxStringSize)) {
            return "field '" + f.Name + "' has the size " + std::to_string(f.Size);
        }
        if (f.FieldType == ftAutoInc) {
            ++autoIncs;
        }
    }
    if (autoIncs > 1) {
        return "more than one auto-increment field";
    }
    if (StoredIndexCount < 0 || StoredIndexCount > kMaxIndexes) {
        return "index count " + std::to_string(StoredIndexCount) + " is out of range";
    }
    for (const auto& x : Indexes) {
        if (x.FieldNumbers[0] < 0) {
            return "index '" + x.Name + "' has no key field";
        }
        for (int32_t n : x.FieldNumbers) {
            if (n < -1 || n >= static_cast<int32_t>(Fields.size())) {
                return "index '" + x.Name + "' names field " + std::to_string(n);
            }
        }
    }
    if (RecordTabCount < 0) {
        return "record count " + std::to_string(RecordTabCount) + " is negative";
    }
    if (RecordTabCount > 0) {
        // Every block of the record tab has to fit in the file.
        const int64_t blocks =
            (static_cast<int64_t>(RecordTabCount) + kTabEntriesPerBlock - 1) / kTabEntriesPerBlock;
        if (blocks * kRecordTabBlockSize > imageSize - kDataAreaOffset) {
            return "record count " + std::to_string(RecordTabCount) + " exceeds the file";
        }
        if (FirstRecordBlock < kDataAreaOffset ||
            FirstRecordBlock + static_cast<int64_t>(kRecordTabBlockSize) > imageSize) {
            return "first record block lies outside the file";
        }
    }
    return {};
}

}  // namespace quorv::store
