#include "store/processing/Enc_Gost.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quorv::store {

namespace {

using cipher_detail::HiLE;
using cipher_detail::LoLE;
using cipher_detail::MakeLE;

// id-GostR3411-94-TestParamSet, rows K1 (applied to the least significant nibble) to K8.
constexpr uint8_t kSBox[8][16] = {
    {4, 10, 9, 2, 13, 8, 0, 14, 6, 11, 1, 12, 7, 15, 5, 3},
    {14, 11, 4, 12, 6, 13, 15, 10, 2, 3, 8, 1, 0, 7, 5, 9},
    {5, 8, 1, 13, 10, 3, 4, 2, 14, 15, 12, 7, 6, 0, 9, 11},
    {7, 13, 10, 1, 0, 8, 9, 15, 14, 4, 6, 12, 11, 2, 5, 3},
    {6, 12, 7, 1, 5, 15, 13, 8, 4, 10, 9, 14, 0, 3, 11, 2},
    {4, 11, 10, 0, 7, 2, 1, 13, 3, 6, 8, 5, 9, 12, 15, 14},
    {13, 11, 4, 1, 3, 15, 5, 9, 0, 10, 14, 7, 6, 8, 2, 12},
    {1, 15, 13, 0, 5, 7, 10, 4, 9, 2, 3, 14, 6, 11, 8, 12},
};

constexpr TEnc_Gost::Table MakeTables() {
    TEnc_Gost::Table t{};
    for (int j = 0; j < 4; ++j) {
        for (int b = 0; b < 256; ++b) {
            const uint32_t v = uint32_t(kSBox[2 * j][b & 15] | kSBox[2 * j + 1][b >> 4] << 4)
                               << (8 * j);
            t[j][b] = (v << 11) | (v >> 21);
        }
    }
    return t;
}

alignas(64) constexpr TEnc_Gost::Table kTables = MakeTables();

// Key word of round r (0..31): K0..K7 three times, then K7..K0; decryption runs that
// sequence backwards.
constexpr int KeyIndex(bool reverse, int r) {
    if (reverse) {
        r = 31 - r;
    }
    return r < 24 ? r % 8 : 7 - r % 8;
}

// y ^ F(x). The lookup for byte 2 starts a cycle late (shift, then mask), so the other three
// and y are combined first; the empty asm statements keep the compiler from re-associating
// the XORs into one serial chain.
inline uint32_t Round(uint32_t x, uint32_t y) {
    uint32_t a = kTables[0][x & 255] ^ kTables[1][(x >> 8) & 255];
    uint32_t b = kTables[3][x >> 24] ^ y;
    asm("" : "+r"(a), "+r"(b));
    uint32_t c = a ^ b;
    asm("" : "+r"(c));
    return c ^ kTables[2][(x >> 16) & 255];
}

// The first table again over 512 entries, T0[i mod 256]: indexed by the low bytes of n and k
// added, it gives byte 0 of n + k's lookup without waiting for the addition.
using WideTable = std::array<uint32_t, 512>;
constexpr WideTable MakeWideTable() {
    WideTable t{};
    for (int i = 0; i < 512; ++i) {
        t[i] = kTables[0][i & 255];
    }
    return t;
}
alignas(64) constexpr WideTable kWide0 = MakeWideTable();

// The round with every lookup one operation from its input: byte 0 from n itself (wide0k
// points at kWide0 + the key's low byte), byte 2 with BEXTR. Four lookups arriving
// together then need two levels of XOR once y is folded into the earliest, one level less
// than Round. Only for processors with BMI1.
#if defined(__x86_64__)
inline uint32_t RoundBextr(uint32_t n, uint32_t k, const uint32_t* wide0k, uint32_t y,
                           uint32_t byte2) {
    const uint32_t x = n + k;
    uint32_t b2;
    asm("bextr %2, %1, %0" : "=r"(b2) : "r"(x), "r"(byte2));
    uint32_t a = wide0k[n & 255] ^ y;
    uint32_t b = kTables[1][(x >> 8) & 255] ^ kTables[2][b2];
    asm("" : "+r"(a), "+r"(b));
    uint32_t c = a ^ kTables[3][x >> 24];
    asm("" : "+r"(c));
    return c ^ b;
}

bool HasBextr() {
    static const bool has = __builtin_cpu_supports("bmi");
    return has;
}

bool HasAvx512Vbmi() {
    static const bool has = __builtin_cpu_supports("avx512f") &&
                            __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vbmi");
    return has;
}

// GCC 12's AVX-512 intrinsics start from _mm512_undefined_epi32(), which its own
// uninitialized-use warning then reports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// The boxes as two 64-byte tables: entry 16j + n is box 2j (low table) or box 2j + 1
// (high table, shifted into the high nibble) of n, so that one byte permutation looks up
// one nibble of every byte of every word, its position j chosen by the index's bits 4-5.
struct alignas(64) TNibbleTables {
    uint8_t Low[64];
    uint8_t High[64];
};
constexpr TNibbleTables MakeNibbleTables() {
    TNibbleTables t{};
    for (int j = 0; j < 4; ++j) {
        for (int n = 0; n < 16; ++n) {
            t.Low[16 * j + n] = kSBox[2 * j][n];
            t.High[16 * j + n] = static_cast<uint8_t>(kSBox[2 * j + 1][n] << 4);
        }
    }
    return t;
}
constexpr TNibbleTables kNibbleTables = MakeNibbleTables();

#define QUORV_AVX512_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// F without the key addition for sixteen words at once: two table lookups, the rotation.
QUORV_AVX512_VBMI __attribute__((always_inline)) inline __m512i SBoxesRotated(
    __m512i x, __m512i low, __m512i high, __m512i nibble, __m512i position) {
    // (x & nibble) | position, in one operation
    const __m512i lo = _mm512_ternarylogic_epi32(x, nibble, position, 0xEA);
    const __m512i hi = _mm512_ternarylogic_epi32(_mm512_srli_epi32(x, 4), nibble, position, 0xEA);
    const __m512i s =
        _mm512_or_si512(_mm512_permutexvar_epi8(lo, low), _mm512_permutexvar_epi8(hi, high));
    return _mm512_rol_epi32(s, 11);
}

// Sixteen blocks in two registers of halves.
QUORV_AVX512_VBMI void EncodeSixteen(uint64_t* w, const uint32_t* key) {
    const __m512i a = _mm512_loadu_si512(w);
    const __m512i b = _mm512_loadu_si512(w + 8);
    const __m512i evens =
        _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i odds =
        _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    __m512i n1 = _mm512_permutex2var_epi32(a, evens, b);
    __m512i n2 = _mm512_permutex2var_epi32(a, odds, b);

    const __m512i low = _mm512_load_si512(kNibbleTables.Low);
    const __m512i high = _mm512_load_si512(kNibbleTables.High);
    const __m512i nibble = _mm512_set1_epi8(0x0F);
    const __m512i position = _mm512_set1_epi32(0x30201000);
    for (int r = 0; r < 32; r += 2) {
        const __m512i k1 = _mm512_set1_epi32(static_cast<int>(key[KeyIndex(false, r)]));
        const __m512i k2 = _mm512_set1_epi32(static_cast<int>(key[KeyIndex(false, r + 1)]));
        n2 = _mm512_xor_si512(n2,
                              SBoxesRotated(_mm512_add_epi32(n1, k1), low, high, nibble, position));
        n1 = _mm512_xor_si512(n1,
                              SBoxesRotated(_mm512_add_epi32(n2, k2), low, high, nibble, position));
    }
    // Back as (n2, n1) pairs: the output block's low half is n2.
    const __m512i first = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    const __m512i second =
        _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
    _mm512_storeu_si512(w, _mm512_permutex2var_epi32(n2, first, n1));
    _mm512_storeu_si512(w + 8, _mm512_permutex2var_epi32(n2, second, n1));
}

#pragma GCC diagnostic pop
#endif

}  // namespace

TEnc_Gost::TEnc_Gost() : TEncryptChain(kContext, key_) {
    Protect();
}

TEnc_Gost::~TEnc_Gost() {
    Protect();
}

const TEnc_Gost::Table& TEnc_Gost::Tables() {
    return kTables;
}

void TEnc_Gost::KeySchedule(const uint8_t* key, int32_t size) {
    if (size > 0) {
        std::memcpy(key_, key, static_cast<size_t>(size));
    }
}

inline uint32_t TEnc_Gost::KeyWord(int i) const {
    uint32_t w;
    std::memcpy(&w, key_ + 4 * i, 4);
    if constexpr (std::endian::native == std::endian::big) {
        w = __builtin_bswap32(w);
    }
    return w;
}

// The 32 rounds on N independent blocks; kReverse selects the decryption key order.
template <bool kReverse, int N>
QUORV_CIPHER_INLINE void TEnc_Gost::Crypt(uint64_t* w) const {
    uint32_t n1[N], n2[N];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        n1[j] = LoLE(w[j]);
        n2[j] = HiLE(w[j]);
    }
    uint32_t k[8];
#pragma GCC unroll 4
    for (int i = 0; i < 8; ++i) {
        k[i] = KeyWord(i);
    }
#pragma GCC unroll 32
    for (int r = 0; r < 32; r += 2) {
#pragma GCC unroll 4
        for (int j = 0; j < N; ++j) {
            n2[j] = Round(n1[j] + k[KeyIndex(kReverse, r)], n2[j]);
        }
#pragma GCC unroll 4
        for (int j = 0; j < N; ++j) {
            n1[j] = Round(n2[j] + k[KeyIndex(kReverse, r + 1)], n1[j]);
        }
    }
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        w[j] = MakeLE(n2[j], n1[j]);
    }
}

void TEnc_Gost::EncodeSerial(const uint8_t* in, uint8_t* out, size_t blocks, uint64_t& f,
                             bool xorFeedback) const {
#if defined(__x86_64__)
    if (!portable_ && HasBextr()) {
        SerialLoop<true>(in, out, blocks, f, xorFeedback);
        return;
    }
#endif
    SerialLoop<false>(in, out, blocks, f, xorFeedback);
}

template <bool kBextr>
void TEnc_Gost::SerialLoop(const uint8_t* in, uint8_t* out, size_t blocks, uint64_t& f,
                           bool xorFeedback) const {
    // The loop is as long as the cipher's latency: the key words are taken once, not per
    // block, and between two blocks only one XOR lies on the chain.
    if (blocks == 0) {
        return;
    }
    uint32_t k[8];
    const uint32_t* wide[8];
    for (int i = 0; i < 8; ++i) {
        k[i] = KeyWord(i);
        wide[i] = kWide0.data() + (k[i] & 255);
    }
    auto plain = [&](size_t b, bool hi) {
        uint64_t p;
        std::memcpy(&p, in + 8 * b, 8);
        return hi ? HiLE(p) : LoLE(p);
    };
    auto round = [](uint32_t n, uint32_t key, const uint32_t* wide0k, uint32_t y) {
#if defined(__x86_64__)
        if constexpr (kBextr) {
            return RoundBextr(n, key, wide0k, y, 0x0810);  // 8 bits from bit 16
        }
#endif
        (void)wide0k;
        return Round(n + key, y);
    };
    uint32_t f1 = LoLE(f), f2 = HiLE(f);
    uint32_t n1 = plain(0, false) ^ f1, n2 = plain(0, true) ^ f2;
    for (size_t b = 0; b < blocks; ++b) {
        // The next block's input but for this block's output, made before the rounds.
        const bool more = b + 1 < blocks;
        uint32_t q1 = more ? plain(b + 1, false) : 0, q2 = more ? plain(b + 1, true) : 0;
        if (xorFeedback) {
            q1 ^= f1;
            q2 ^= f2;
        }
        // Key words as memory operands: held in registers they would push the chain's
        // values out to the stack.
        const uint32_t* key = k;
        const uint32_t* const* wide0 = wide;
        asm("" : "+r"(key), "+r"(wide0));
#pragma GCC unroll 32
        for (int r = 0; r < 32; r += 2) {
            const int i = KeyIndex(false, r), j = KeyIndex(false, r + 1);
            n2 = round(n1, key[i], wide0[i], n2);
            n1 = round(n2, key[j], wide0[j], n1);
        }
        const uint64_t c = MakeLE(n2, n1);
        std::memcpy(out + 8 * b, &c, 8);
        // Mode 0 keeps the XOR of every block so far, mode 1 the last block.
        f1 = xorFeedback ? q1 ^ (more ? plain(b + 1, false) : 0) ^ n2 : n2;
        f2 = xorFeedback ? q2 ^ (more ? plain(b + 1, true) : 0) ^ n1 : n1;
        const uint32_t c1 = n2, c2 = n1;
        n1 = q1 ^ c1;
        n2 = q2 ^ c2;
    }
    f = MakeLE(f1, f2);
}

void TEnc_Gost::EncodeLanes(uint64_t* w, uint32_t busy) const {
    static_assert(kEncodeLanes == 16);
#if defined(__x86_64__)
    if (!portable_ && HasAvx512Vbmi()) {
        uint32_t k[8];
        for (int i = 0; i < 8; ++i) {
            k[i] = KeyWord(i);
        }
        EncodeSixteen(w, k);
        return;
    }
#endif
    for (int group = 0; group < kEncodeLanes; group += 4) {
        if ((busy >> group & 15) != 0) {
            Crypt<false, 4>(w + group);
        }
    }
}

template <int N>
QUORV_CIPHER_INLINE void TEnc_Gost::EncBlocks(uint64_t* w) const {
    Crypt<false, N>(w);
}

template <int N>
QUORV_CIPHER_INLINE void TEnc_Gost::DecBlocks(uint64_t* w) const {
    Crypt<true, N>(w);
}

template class TEncryptChain<TEnc_Gost, 8>;

}  // namespace quorv::store
