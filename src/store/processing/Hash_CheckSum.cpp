#include "store/processing/Hash_CheckSum.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace quorv::store {

namespace {

// zlib takes a 32-bit length, so larger inputs go in slices.
uLong Crc32Continue(uLong crc, const void* data, size_t length) {
    const Bytef* p = static_cast<const Bytef*>(data);
    while (length > 0) {
        uInt take = static_cast<uInt>(std::min<size_t>(length, UINT_MAX));
        crc = crc32(crc, p, take);
        p += take;
        length -= take;
    }
    return crc;
}

}  // namespace

uint32_t CRC32(const void* data, size_t length) {
    return static_cast<uint32_t>(Crc32Continue(crc32(0, Z_NULL, 0), data, length));
}

void THash_CRC32::Reset() {
    crc_ = static_cast<uint32_t>(crc32(0, Z_NULL, 0));
    std::fill(digest_, digest_ + kDigestSize, 0);
}

void THash_CRC32::Update(const void* data, size_t length) {
    crc_ = static_cast<uint32_t>(Crc32Continue(crc_, data, length));
}

void THash_CRC32::Final() {
    for (int i = 0; i < kDigestSize; ++i) {
        digest_[i] = static_cast<uint8_t>(crc_ >> (8 * i));
    }
}

}  // namespace quorv::store
