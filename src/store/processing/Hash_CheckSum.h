#pragma once

#include <cstddef>
#include <cstdint>

#include "store/processing/HashBase.h"

namespace quorv::store {

// CRC-32 as zlib computes it (reflected 0xEDB88320, preset and final complement).
uint32_t CRC32(const void* data, size_t length);

// The same checksum as a hash object; Digest holds the value little-endian.
class THash_CRC32 : public THash {
  public:
    static constexpr int kDigestSize = 4;

    THash_CRC32() { Reset(); }
    ~THash_CRC32() override { SecureZero(digest_, sizeof digest_); }

    void Reset() override;
    void Update(const void* data, size_t length) override;
    void Final() override;
    uint8_t* Digest() override { return digest_; }
    int DigestSize() const override { return kDigestSize; }
    uint32_t Value() const { return crc_; }

  private:
    uint32_t crc_ = 0;
    uint8_t digest_[kDigestSize] = {};
};

}  // namespace quorv::store
