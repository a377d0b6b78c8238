#include "store/FieldBuffers.h"

#include "store/Coding.h"

namespace quorv::store {

void TFieldBuffers::SetText(int32_t field, std::string_view text) {
    auto& item = (*this)[field];
    item.Write = true;
    item.Bytes.assign(text);
}

void TFieldBuffers::SetInt32(int32_t field, int32_t value) {
    uint8_t b[4];
    EncodeFixed32(b, value);
    SetText(field, std::string_view(reinterpret_cast<const char*>(b), sizeof b));
}

void TFieldBuffers::SetBlob(int32_t field, TStream* value) {
    auto& item = (*this)[field];
    item.Write = true;
    item.Blob = value;
}

int32_t TFieldBuffers::Int32(int32_t field) const {
    const auto& item = (*this)[field];
    if (!item.Write || item.Bytes.size() < 4) {
        return 0;
    }
    return DecodeFixed32(reinterpret_cast<const uint8_t*>(item.Bytes.data()));
}

}  // namespace quorv::store
