#pragma once

#include <cstdint>

#include "store/processing/EncryptBase.h"

namespace quorv::store {

// Twofish building blocks with the store's own subkey rule and 30 rounds (see the .cpp).
class TEnc_Twofish final : public TEncryptChain<TEnc_Twofish, 16> {
  public:
    static constexpr int kDecodeLanes = 3;
    static constexpr Context kContext{16, 32, 4256};

    TEnc_Twofish();
    ~TEnc_Twofish() override;
    const char* ClassName() const override { return "TEnc_Twofish"; }

    // Tests only: the published Twofish (A + 2B subkeys, 16 rounds), to prove the shared core
    // against the published vectors. Takes effect at the next Init.
    void SetPublishedForTesting(bool on) { published_ = on; }

  protected:
    void KeySchedule(const uint8_t* key, int32_t size) override;

  private:
    friend class TEncryptChain<TEnc_Twofish, 16>;
    // N independent blocks at once, 2 words each.
    template <int N>
    void EncBlocks(uint64_t* w) const;
    template <int N>
    void DecBlocks(uint64_t* w) const;
    template <bool kPublished, int N>
    void Encrypt(uint64_t* w) const;
    template <bool kPublished, int N>
    void Decrypt(uint64_t* w) const;
    template <int N>
    void Round(const uint32_t* x0, const uint32_t* x1, uint32_t* y0, uint32_t* y1,
               const uint32_t* k) const;
    template <int N>
    void Unround(const uint32_t* x0, const uint32_t* x1, uint32_t* y0, uint32_t* y1,
                 const uint32_t* k) const;
    uint32_t G0(uint32_t x) const;
    uint32_t G1(uint32_t x) const;

    // User: 40 subkey words, then the key-dependent S-boxes with the MDS matrix folded in.
    struct Schedule {
        uint32_t K[40];
        uint32_t S[4][256];
    };
    static_assert(sizeof(Schedule) == 4256);
    alignas(64) Schedule k_;
    bool published_ = false;
    bool scheduledPublished_ = false;
};

extern template class TEncryptChain<TEnc_Twofish, 16>;

}  // namespace quorv::store
