#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"

// The block functions are defined in the cipher's source file beside the explicit
// instantiation of its chaining loops, and must inline into them.
#define QUORV_CIPHER_INLINE [[gnu::always_inline]] inline

namespace quorv::store {

class THash;

class EEncryptException : public quorv::Exception {
  public:
    EEncryptException(const std::string& message, int code)
        : quorv::Exception(message), code_(code) {}
    int Code() const { return code_; }

  private:
    int code_;
};

enum TEncryptMode : uint8_t { emXorFeedback = 0, emCBC = 1, emCFB8 = 2, emOFB8 = 3, emECB = 4 };

// One message of a batch. Source and Dest are the same bytes or do not overlap, and no two
// messages of a batch share bytes.
struct TCipherMessage {
    const uint8_t* Source;
    uint8_t* Dest;
    int32_t Size;
};

// Block cipher with the store's chaining modes. Every stored value is one message that
// starts from Vector; Done() rewinds the chain to it.
class TEncrypt {
  public:
    struct Context {
        int32_t BlockSize;
        int32_t MaxKeySize;
        int32_t UserSize;
    };
    static constexpr uint32_t kKeyFromPassword = 1u << 0;
    static constexpr uint32_t kInitialized = 1u << 9;
    static constexpr int kErrNotInitialized = 3;
    static constexpr int kErrBadMode = 5;

    virtual ~TEncrypt();
    TEncrypt(const TEncrypt&) = delete;
    TEncrypt& operator=(const TEncrypt&) = delete;

    virtual const char* ClassName() const = 0;

    uint8_t Mode() const { return mode_; }
    void SetMode(uint8_t mode) { mode_ = mode; }
    uint32_t Flags() const { return flags_; }
    void SetFlag(int bit, bool on);
    int32_t BlockSize() const { return ctx_.BlockSize; }
    int32_t MaxKeySize() const { return ctx_.MaxKeySize; }
    int32_t UserSize() const { return ctx_.UserSize; }

    // One block in place.
    virtual void Encode(uint8_t* block) = 0;
    virtual void Decode(uint8_t* block) = 0;

    // Key from raw bytes; ivector null means Vector := E_K(0xFF..).
    void Init(const void* key, int32_t size, const void* ivector);
    // Key from a password: its SHA-0 digest.
    void InitKey(std::string_view key, const void* ivector = nullptr);
    virtual void Done();
    virtual void Protect();

    // Source and dest may be the same buffer. A Mode above 4 is refused with an
    // EEncryptException rather than passing the bytes through.
    void EncodeBuffer(const void* source, void* dest, int32_t size);
    void DecodeBuffer(const void* source, void* dest, int32_t size);

    // Each message as its own EncodeBuffer / DecodeBuffer call followed by Done, but with
    // the blocks of different messages through the cipher together. Leaves the chain
    // rewound.
    void EncodeMessages(const TCipherMessage* messages, size_t count);
    void DecodeMessages(const TCipherMessage* messages, size_t count);

    const std::vector<uint8_t>& Vector() const { return vector_; }
    const std::vector<uint8_t>& Feedback() const { return feedback_; }

  protected:
    // user: the cipher's key-schedule storage of ctx.UserSize bytes, a member of the cipher
    // object so its tables sit at a fixed offset from this.
    TEncrypt(const Context& ctx, uint8_t* user);
    // The cipher's own key schedule over the first size bytes of key (size already clamped).
    virtual void KeySchedule(const uint8_t* key, int32_t size) = 0;
    // The chaining modes over a whole buffer; TEncryptChain supplies them per cipher.
    virtual void ChainEncode(const uint8_t* source, uint8_t* dest, size_t size) = 0;
    virtual void ChainDecode(const uint8_t* source, uint8_t* dest, size_t size) = 0;
    virtual void ChainMessages(const TCipherMessage* messages, size_t count, bool decode) = 0;

    uint8_t* FeedbackBytes() { return feedback_.data(); }
    [[noreturn]] void ThrowBadMode() const;

  private:
    void CheckInitialized() const;

    Context ctx_;
    uint8_t mode_ = emXorFeedback;
    uint32_t flags_ = 0;
    std::unique_ptr<THash> hash_;
    std::vector<uint8_t> vector_, feedback_;
    uint8_t* user_;
};

namespace cipher_detail {

// A block is handled as 64-bit words holding its bytes in memory order; these pick out the
// 32-bit halves with the byte order a cipher defines.
inline uint32_t LoLE(uint64_t w) {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<uint32_t>(w);
    } else {
        return __builtin_bswap32(static_cast<uint32_t>(w >> 32));
    }
}
inline uint32_t HiLE(uint64_t w) {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<uint32_t>(w >> 32);
    } else {
        return __builtin_bswap32(static_cast<uint32_t>(w));
    }
}
inline uint64_t MakeLE(uint32_t lo, uint32_t hi) {
    if constexpr (std::endian::native == std::endian::little) {
        return uint64_t(hi) << 32 | lo;
    } else {
        return uint64_t(__builtin_bswap32(lo)) << 32 | __builtin_bswap32(hi);
    }
}
inline uint32_t LoBE(uint64_t w) {
    return __builtin_bswap32(LoLE(w));
}
inline uint32_t HiBE(uint64_t w) {
    return __builtin_bswap32(HiLE(w));
}
inline uint64_t MakeBE(uint32_t lo, uint32_t hi) {
    return MakeLE(__builtin_bswap32(lo), __builtin_bswap32(hi));
}
inline uint32_t Rol(uint32_t x, int n) {
    return std::rotl(x, n);
}
inline uint32_t Ror(uint32_t x, int n) {
    return std::rotr(x, n);
}

}  // namespace cipher_detail

// The modes written once per cipher, so that the block function inlines into the loops.
// Cipher provides EncBlocks<N>/DecBlocks<N>(uint64_t* w): N independent blocks of kBlock / 8
// words each. Wherever blocks do not depend on each other (decoding in modes 0 and 1)
// Cipher::kDecodeLanes go through together, which keeps the processor busy while one waits
// on its lookups.
template <class Cipher, int kBlock>
class TEncryptChain : public TEncrypt {
  public:
    // Defined out of the class so that the cipher's extern template keeps every user of the
    // block function in the cipher's own source file.
    void Encode(uint8_t* block) final;
    void Decode(uint8_t* block) final;

  protected:
    static constexpr int kWords = kBlock / 8;
    static_assert(kBlock % 8 == 0 && kBlock > 0);

    TEncryptChain(const Context& ctx, uint8_t* user) : TEncrypt(ctx, user) {}

    void ChainEncode(const uint8_t* s, uint8_t* d, size_t n) final;
    void ChainDecode(const uint8_t* s, uint8_t* d, size_t n) final;
    void ChainMessages(const TCipherMessage* messages, size_t count, bool decode) final;

  private:
    const Cipher& Self() const { return static_cast<const Cipher&>(*this); }
    QUORV_CIPHER_INLINE void EncOne(uint64_t* w) const { Self().template EncBlocks<1>(w); }
    QUORV_CIPHER_INLINE void DecOne(uint64_t* w) const { Self().template DecBlocks<1>(w); }

    template <bool kDecode>
    void Chain(const uint8_t* s, uint8_t* d, size_t n);
    // Modes 0 and 1 over a batch (ChainBatch.h).
    void DecodeChained(const TCipherMessage* messages, size_t count);
    void EncodeChained(const TCipherMessage* messages, size_t count);
    // The restrict pointers tell the compiler that output bytes never land in the key
    // schedule, so it need not reload subkeys after every block written. In place, only d is
    // used, for reading and writing alike.
    template <bool kDecode, bool kInPlace>
    void Run(const uint8_t* __restrict s, uint8_t* __restrict d, size_t n, uint64_t* f) const;
    // Modes 2 and 3: one block encryption per byte, the register shifted a byte at a time.
    template <bool kDecode, bool kOutputFeedback>
    void Stream8(const uint8_t* s, uint8_t* d, size_t n, uint64_t* f) const;
};

template <class Cipher, int kBlock>
void TEncryptChain<Cipher, kBlock>::Encode(uint8_t* block) {
    uint64_t w[kWords];
    std::memcpy(w, block, kBlock);
    EncOne(w);
    std::memcpy(block, w, kBlock);
}

template <class Cipher, int kBlock>
void TEncryptChain<Cipher, kBlock>::Decode(uint8_t* block) {
    uint64_t w[kWords];
    std::memcpy(w, block, kBlock);
    DecOne(w);
    std::memcpy(block, w, kBlock);
}

template <class Cipher, int kBlock>
void TEncryptChain<Cipher, kBlock>::ChainEncode(const uint8_t* s, uint8_t* d, size_t n) {
    Chain<false>(s, d, n);
}

template <class Cipher, int kBlock>
void TEncryptChain<Cipher, kBlock>::ChainDecode(const uint8_t* s, uint8_t* d, size_t n) {
    Chain<true>(s, d, n);
}

template <class Cipher, int kBlock>
template <bool kDecode>
void TEncryptChain<Cipher, kBlock>::Chain(const uint8_t* s, uint8_t* d, size_t n) {
    if (Mode() > emECB) {
        ThrowBadMode();
    }
    uint64_t f[kWords];
    std::memcpy(f, FeedbackBytes(), kBlock);
    const auto src = reinterpret_cast<uintptr_t>(s), dst = reinterpret_cast<uintptr_t>(d);
    if (s == d) {
        Run<kDecode, true>(nullptr, d, n, f);
    } else if (src < dst + n && dst < src + n) {
        // Overlapping but not identical: move the bytes into place first.
        std::memmove(d, s, n);
        Run<kDecode, true>(nullptr, d, n, f);
    } else {
        Run<kDecode, false>(s, d, n, f);
    }
    std::memcpy(FeedbackBytes(), f, kBlock);
}

template <class Cipher, int kBlock>
template <bool kDecode, bool kInPlace>
void TEncryptChain<Cipher, kBlock>::Run(const uint8_t* __restrict s, uint8_t* __restrict d,
                                        size_t n, uint64_t* feedback) const {
    const uint8_t* in = kInPlace ? d : s;
    uint64_t f[kWords], c[kWords], t[kWords];
    std::memcpy(f, feedback, kBlock);
    const uint8_t mode = Mode();
    switch (mode) {
        case emXorFeedback:
        case emCBC:
            if constexpr (kDecode) {
                constexpr int kLanes = Cipher::kDecodeLanes;
                constexpr size_t kStride = size_t(kLanes) * kBlock;
                for (; n >= kStride; n -= kStride, in += kStride, d += kStride) {
                    uint64_t cs[kLanes * kWords], ts[kLanes * kWords];
                    std::memcpy(cs, in, kStride);
                    std::memcpy(ts, cs, kStride);
                    Self().template DecBlocks<kLanes>(ts);
#pragma GCC unroll 4
                    for (int b = 0; b < kLanes; ++b) {
                        for (int i = 0; i < kWords; ++i) {
                            ts[b * kWords + i] ^= f[i];
                            f[i] = mode == emXorFeedback ? f[i] ^ cs[b * kWords + i]
                                                         : cs[b * kWords + i];
                        }
                    }
                    std::memcpy(d, ts, kStride);
                }
                for (; n >= kBlock; n -= kBlock, in += kBlock, d += kBlock) {
                    std::memcpy(c, in, kBlock);
                    std::memcpy(t, c, kBlock);
                    DecOne(t);
                    for (int i = 0; i < kWords; ++i) {
                        t[i] ^= f[i];
                        f[i] = mode == emXorFeedback ? f[i] ^ c[i] : c[i];
                    }
                    std::memcpy(d, t, kBlock);
                }
            } else if constexpr (requires(const Cipher& c, uint64_t& r) {
                                     c.EncodeSerial(in, d, n, r, true);
                                 }) {
                // Every block waits on the one before: a cipher may supply the loop.
                Self().EncodeSerial(in, d, n / kBlock, f[0], mode == emXorFeedback);
                const size_t whole = n / kBlock * kBlock;
                in += whole;
                d += whole;
                n -= whole;
            } else if (mode == emXorFeedback) {
                // Every block waits on the one before: the loop is the cipher's latency,
                // so the mode is decided once, outside it.
                for (; n >= kBlock; n -= kBlock, in += kBlock, d += kBlock) {
                    std::memcpy(t, in, kBlock);
                    for (int i = 0; i < kWords; ++i) {
                        t[i] ^= f[i];
                    }
                    EncOne(t);
                    std::memcpy(d, t, kBlock);
                    for (int i = 0; i < kWords; ++i) {
                        f[i] ^= t[i];
                    }
                }
            } else {
                for (; n >= kBlock; n -= kBlock, in += kBlock, d += kBlock) {
                    std::memcpy(t, in, kBlock);
                    for (int i = 0; i < kWords; ++i) {
                        t[i] ^= f[i];
                    }
                    EncOne(t);
                    std::memcpy(d, t, kBlock);
                    std::memcpy(f, t, kBlock);
                }
            }
            // A short final block, in both directions: P XOR E(F); mode 0 also folds E(F)
            // into the register.
            if (n > 0) {
                std::memcpy(t, f, kBlock);
                EncOne(t);
                uint8_t x[kBlock];
                std::memcpy(x, t, kBlock);
                for (size_t i = 0; i < n; ++i) {
                    d[i] = in[i] ^ x[i];
                }
                if (mode == emXorFeedback) {
                    for (int i = 0; i < kWords; ++i) {
                        f[i] ^= t[i];
                    }
                }
            }
            break;
        case emCFB8:
            Stream8<kDecode, false>(in, d, n, f);
            break;
        case emOFB8:
            Stream8<kDecode, true>(in, d, n, f);
            break;
        case emECB:
            for (; n >= kBlock; n -= kBlock, in += kBlock, d += kBlock) {
                std::memcpy(t, in, kBlock);
                if constexpr (kDecode) {
                    DecOne(t);
                } else {
                    EncOne(t);
                }
                std::memcpy(d, t, kBlock);
            }
            // The tail stays plain.
            if constexpr (!kInPlace) {
                if (n > 0) {
                    std::memcpy(d, in, n);
                }
            }
            break;
    }
    std::memcpy(feedback, f, kBlock);
}

template <class Cipher, int kBlock>
template <bool kDecode, bool kOutputFeedback>
void TEncryptChain<Cipher, kBlock>::Stream8(const uint8_t* s, uint8_t* d, size_t n,
                                            uint64_t* f) const {
    uint8_t reg[kBlock];
    std::memcpy(reg, f, kBlock);
    uint64_t x[kWords];
    for (size_t i = 0; i < n; ++i) {
        std::memcpy(x, reg, kBlock);
        EncOne(x);
        uint8_t x0;
        std::memcpy(&x0, x, 1);
        const uint8_t in = s[i];
        const uint8_t out = in ^ x0;
        std::memmove(reg, reg + 1, kBlock - 1);
        reg[kBlock - 1] = kOutputFeedback ? x0 : (kDecode ? in : out);
        d[i] = out;
    }
    std::memcpy(f, reg, kBlock);
}

}  // namespace quorv::store

#include "store/processing/ChainBatch.h"  // IWYU pragma: export
