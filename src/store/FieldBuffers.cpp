#include "store/FieldBuffers.h"

#include <cstring>

#include "store/Coding.h"

namespace quorv::store {

void TFieldBuffers::SetText(int32_t field, std::string_view text) {
    auto& item = (*this)[field];
    item.Write = true;
    item.Bytes.assign(text);
}

void TFieldBuffers::SetInt16(int32_t field, int16_t value) {
    uint8_t b[2];
    EncodeFixed16(b, value);
    auto& item = (*this)[field];
    item.Write = true;
    item.Bytes.assign(reinterpret_cast<const char*>(b), 2);
}

void TFieldBuffers::SetInt32(int32_t field, int32_t value) {
    uint8_t b[4];
    EncodeFixed32(b, value);
    auto& item = (*this)[field];
    item.Write = true;
    item.Bytes.assign(reinterpret_cast<const char*>(b), 4);
}

void TFieldBuffers::SetInt64(int32_t field, int64_t value) {
    uint8_t b[8];
    EncodeFixed64(b, value);
    auto& item = (*this)[field];
    item.Write = true;
    item.Bytes.assign(reinterpret_cast<const char*>(b), 8);
}

void TFieldBuffers::SetDouble(int32_t field, double value) {
    int64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    SetInt64(field, bits);
}

void TFieldBuffers::SetBoolean(int32_t field, bool value) {
    SetInt16(field, value ? 1 : 0);
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
