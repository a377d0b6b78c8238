#pragma once

#include <array>
#include <cstdint>

#include "store/processing/EncryptBase.h"

namespace quorv::store {

// GOST 28147-89 with the S-boxes of the GOST R 34.11-94 test parameter set.
class TEnc_Gost final : public TEncryptChain<TEnc_Gost, 8> {
  public:
    static constexpr int kDecodeLanes = 4;
    // Encoding takes sixteen messages at once: processors with AVX-512 run them all in
    // one pass of vector rounds.
    static constexpr int kEncodeLanes = 16;
    static constexpr Context kContext{8, 32, 32};

    TEnc_Gost();
    ~TEnc_Gost() override;
    const char* ClassName() const override { return "TEnc_Gost"; }

    // Eight 256-entry tables would do; four suffice because each merges two S-boxes, and the
    // rotation by 11 is folded in.
    using Table = std::array<std::array<uint32_t, 256>, 4>;
    static const Table& Tables();

    // Modes 0 and 1 encoding of whole blocks, each chained to the one before; f is the
    // feedback register, in and out may be the same.
    void EncodeSerial(const uint8_t* in, uint8_t* out, size_t blocks, uint64_t& f,
                      bool xorFeedback) const;
    // The rounds of kEncodeLanes blocks, one per lane; the bits of `busy` name the lanes
    // that hold one (the others may be left as they are).
    void EncodeLanes(uint64_t* w, uint32_t busy) const;
    // Keeps chained encoding on the rounds every processor runs, so that tests can hold
    // them against the faster ones.
    void SetPortableRoundsForTesting(bool on) { portable_ = on; }

  protected:
    void KeySchedule(const uint8_t* key, int32_t size) override;

  private:
    friend class TEncryptChain<TEnc_Gost, 8>;
    template <int N>
    void EncBlocks(uint64_t* w) const;
    template <int N>
    void DecBlocks(uint64_t* w) const;
    template <bool kReverse, int N>
    void Crypt(uint64_t* w) const;
    template <bool kBextr>
    void SerialLoop(const uint8_t* in, uint8_t* out, size_t blocks, uint64_t& f,
                    bool xorFeedback) const;
    uint32_t KeyWord(int i) const;

    // User: the key bytes, zero-padded to 32.
    alignas(8) uint8_t key_[32];
    bool portable_ = false;
};

extern template class TEncryptChain<TEnc_Gost, 8>;

}  // namespace quorv::store
