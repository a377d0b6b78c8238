#include "store/BlobSlot.h"

#include <cstring>

#include "store/Coding.h"

namespace quorv::store {

TBlobSlot TBlobSlot::DecodeFrom(const uint8_t* src) {
    TBlobSlot s;
    s.Offset = DecodeFixed32(src);
    s.Length = DecodeFixed32(src + 4);
    s.AreaSize = DecodeFixed32(src + 8);
    std::memcpy(s.Reserved.data(), src + 12, s.Reserved.size());
    return s;
}

void TBlobSlot::EncodeTo(uint8_t* dst) const {
    EncodeFixed32(dst, Offset);
    EncodeFixed32(dst + 4, Length);
    EncodeFixed32(dst + 8, AreaSize);
    std::memcpy(dst + 12, Reserved.data(), Reserved.size());
}

std::string TBlobSlot::Problem(int64_t imageSize) const {
    if (Length < 0 || AreaSize < Length) {
        return "its length " + std::to_string(Length) + " does not fit its area of " +
               std::to_string(AreaSize) + " bytes";
    }
    if (Offset < kDataAreaOffset || Offset + static_cast<int64_t>(Length) > imageSize) {
        return "its data lies outside the file";
    }
    return {};
}

}  // namespace quorv::store
