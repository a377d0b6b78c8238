#pragma once

#include <cstdint>

#include "store/processing/EncryptBase.h"

namespace quorv::store {

// Blowfish, 16 rounds, big-endian halves.
class TEnc_Blowfish final : public TEncryptChain<TEnc_Blowfish, 8> {
  public:
    static constexpr int kDecodeLanes = 4;
    static constexpr Context kContext{8, 56, 4168};

    TEnc_Blowfish();
    ~TEnc_Blowfish() override;
    const char* ClassName() const override { return "TEnc_Blowfish"; }

  protected:
    void KeySchedule(const uint8_t* key, int32_t size) override;

  private:
    friend class TEncryptChain<TEnc_Blowfish, 8>;
    template <int N>
    void EncBlocks(uint64_t* w) const;
    template <int N>
    void DecBlocks(uint64_t* w) const;
    template <bool kReverse, int N>
    void Crypt(uint32_t* l, uint32_t* r) const;
    void EncHalves(uint32_t& l, uint32_t& r) const;
    uint32_t F(uint32_t x) const;

    // User: the four S-boxes, then the P-array.
    struct Schedule {
        uint32_t S[4][256];
        uint32_t P[18];
    };
    static_assert(sizeof(Schedule) == 4168);
    alignas(64) Schedule k_;
};

extern template class TEncryptChain<TEnc_Blowfish, 8>;

}  // namespace quorv::store
