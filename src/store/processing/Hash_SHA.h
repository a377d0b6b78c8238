#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/processing/HashBase.h"

namespace quorv::store {

// SHA-0 by default. With the rotation switch on, the schedule rotates as SHA-1 does; the
// store never turns it on.
class THash_SHA : public THash {
  public:
    static constexpr int kDigestSize = 20;

    THash_SHA();
    ~THash_SHA() override;

    void Reset() override;
    void Update(const void* data, size_t length) override;
    void Final() override;
    uint8_t* Digest() override { return digest_; }
    int DigestSize() const override { return kDigestSize; }

    bool Rotate() const { return rotate_; }
    void SetRotate(bool on) { rotate_ = on; }

  private:
    void Transform(const uint8_t* block);

    bool rotate_ = false;
    uint32_t state_[5];
    // The length is counted in a 32-bit byte counter, so it wraps every 4 GiB of input.
    uint32_t count_ = 0;
    uint8_t block_[64];
    size_t fill_ = 0;
    uint8_t digest_[kDigestSize];
};

// Base64 alphabet, but each 3-byte group drops its trailing zero 6-bit groups; the padding
// marks are appended once at the end.
std::string DigestToText(const uint8_t* data, size_t length);

// Text stored in a database header to check a password: SHA-0 of the password, as above.
std::string PasswordDigest(std::string_view password);

}  // namespace quorv::store
