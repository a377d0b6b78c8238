#include "store/RecordTab.h"

#include <cstring>

#include "store/Coding.h"

namespace quorv::store {

TRecordTabItem TRecordTabItem::DecodeFrom(const uint8_t* src) {
    return TRecordTabItem{DecodeFixed32(src), src[kDeletedFlagOffset]};
}

void TRecordTabItem::EncodeTo(uint8_t* dst) const {
    EncodeFixed32(dst, DataOffset);
    dst[kDeletedFlagOffset] = Deleted;
}

TRecordTabBlock TRecordTabBlock::DecodeFrom(const uint8_t* src) {
    TRecordTabBlock b;
    b.Next = DecodeFixed32(src);
    for (int i = 0; i < kTabEntriesPerBlock; ++i) {
        b.Items[i] = TRecordTabItem::DecodeFrom(src + RecordTabEntryOffset(i));
    }
    return b;
}

void TRecordTabBlock::EncodeTo(uint8_t* dst) const {
    std::memset(dst, 0, kRecordTabBlockSize);
    EncodeFixed32(dst, Next);
    for (int i = 0; i < kTabEntriesPerBlock && i < static_cast<int>(Items.size()); ++i) {
        Items[i].EncodeTo(dst + RecordTabEntryOffset(i));
    }
}

}  // namespace quorv::store
