#pragma once

#include <cstddef>
#include <cstdint>

namespace quorv::store {

// Incremental message digest: Reset, any number of Update calls, Final, then Digest.
class THash {
  public:
    virtual ~THash() = default;
    THash(const THash&) = delete;
    THash& operator=(const THash&) = delete;

    virtual void Reset() = 0;
    virtual void Update(const void* data, size_t length) = 0;
    virtual void Final() = 0;
    // Valid after Final; writable because key set-up enciphers it in place.
    virtual uint8_t* Digest() = 0;
    virtual int DigestSize() const = 0;

  protected:
    THash() = default;
};

// Wipes memory that held key material; the volatile writes keep the compiler from dropping it.
void SecureZero(void* data, size_t length);

}  // namespace quorv::store
