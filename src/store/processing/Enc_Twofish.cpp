#include "store/processing/Enc_Twofish.h"

#include <array>
#include <cstring>

namespace quorv::store {

// Files written by the store use two deviations from published Twofish: the odd subkeys are
// ROL(A + (B >> 1), 9) instead of ROL(A + 2B, 9), and the round loop runs 15 passes of two
// rounds whose subkey pairs advance by one pair per pass, so pairs 5..18 serve twice.

namespace {

using cipher_detail::HiLE;
using cipher_detail::LoLE;
using cipher_detail::MakeLE;
using cipher_detail::Rol;
using cipher_detail::Ror;

using Perm = std::array<uint8_t, 256>;

// The 4-bit tables t0..t3 from which q0 and q1 are built.
constexpr uint8_t kQ0T[4][16] = {
    {0x8, 0x1, 0x7, 0xD, 0x6, 0xF, 0x3, 0x2, 0x0, 0xB, 0x5, 0x9, 0xE, 0xC, 0xA, 0x4},
    {0xE, 0xC, 0xB, 0x8, 0x1, 0x2, 0x3, 0x5, 0xF, 0x4, 0xA, 0x6, 0x7, 0x0, 0x9, 0xD},
    {0xB, 0xA, 0x5, 0xE, 0x6, 0xD, 0x9, 0x0, 0xC, 0x8, 0xF, 0x3, 0x2, 0x4, 0x7, 0x1},
    {0xD, 0x7, 0xF, 0x4, 0x1, 0x2, 0x6, 0xE, 0x9, 0xB, 0x3, 0x0, 0x8, 0x5, 0xC, 0xA},
};
constexpr uint8_t kQ1T[4][16] = {
    {0x2, 0x8, 0xB, 0xD, 0xF, 0x7, 0x6, 0xE, 0x3, 0x1, 0x9, 0x4, 0x0, 0xA, 0xC, 0x5},
    {0x1, 0xE, 0x2, 0xB, 0x4, 0xC, 0x3, 0x7, 0x6, 0xD, 0xA, 0x5, 0xF, 0x9, 0x0, 0x8},
    {0x4, 0xC, 0x7, 0x5, 0x1, 0x6, 0x9, 0xA, 0x0, 0xE, 0xD, 0x8, 0x2, 0xB, 0x3, 0xF},
    {0xB, 0x9, 0x5, 0x1, 0xC, 0x3, 0xD, 0xE, 0x6, 0x4, 0x7, 0xF, 0x2, 0x0, 0x8, 0xA},
};

constexpr uint8_t Ror4(uint8_t x) {
    return uint8_t(((x >> 1) | (x << 3)) & 15);
}

constexpr Perm MakeQ(const uint8_t (&t)[4][16]) {
    Perm q{};
    for (int x = 0; x < 256; ++x) {
        uint8_t a = uint8_t(x >> 4), b = uint8_t(x & 15);
        uint8_t a1 = a ^ b, b1 = uint8_t(a ^ Ror4(b) ^ ((8 * a) & 15));
        uint8_t a2 = t[0][a1], b2 = t[1][b1];
        uint8_t a3 = a2 ^ b2, b3 = uint8_t(a2 ^ Ror4(b2) ^ ((8 * a2) & 15));
        uint8_t a4 = t[2][a3], b4 = t[3][b3];
        q[x] = uint8_t(b4 << 4 | a4);
    }
    return q;
}

constexpr Perm kQ0 = MakeQ(kQ0T);
constexpr Perm kQ1 = MakeQ(kQ1T);

// Multiplication in GF(2^8) modulo the given polynomial (0x169 for MDS, 0x14D for RS).
constexpr uint8_t GfMul(uint8_t a, uint8_t b, unsigned poly) {
    unsigned r = 0, x = a;
    for (; b; b >>= 1) {
        if (b & 1) {
            r ^= x;
        }
        x <<= 1;
        if (x & 0x100) {
            x ^= poly;
        }
    }
    return uint8_t(r);
}

constexpr uint8_t kMds[4][4] = {
    {0x01, 0xEF, 0x5B, 0x5B},
    {0x5B, 0xEF, 0xEF, 0x01},
    {0xEF, 0x5B, 0x01, 0xEF},
    {0xEF, 0x01, 0xEF, 0x5B},
};

constexpr uint8_t kRs[4][8] = {
    {0x01, 0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E},
    {0xA4, 0x56, 0x82, 0xF3, 0x1E, 0xC6, 0x68, 0xE5},
    {0x02, 0xA1, 0xFC, 0xC1, 0x47, 0xAE, 0x3D, 0x19},
    {0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E, 0x03},
};

// Column j of the MDS matrix times every byte value, as the word it adds to the result.
constexpr std::array<std::array<uint32_t, 256>, 4> MakeMdsColumns() {
    std::array<std::array<uint32_t, 256>, 4> t{};
    for (int j = 0; j < 4; ++j) {
        for (int v = 0; v < 256; ++v) {
            uint32_t w = 0;
            for (int i = 0; i < 4; ++i) {
                w |= uint32_t(GfMul(kMds[i][j], uint8_t(v), 0x169)) << (8 * i);
            }
            t[j][v] = w;
        }
    }
    return t;
}

constexpr auto kMdsCol = MakeMdsColumns();

// An unsigned 32-bit index costs no extension before the table lookup.
inline uint32_t Byte(uint32_t x, int i) {
    return (x >> (8 * i)) & 255;
}

// The byte pipelines of h, one per input byte position; l[0..k-1] are the key words.
inline uint8_t HByte(int pos, uint8_t y, const uint32_t* l, int k) {
    switch (pos) {
        case 0:
            if (k == 4)
                y = kQ1[y] ^ Byte(l[3], 0);
            if (k >= 3)
                y = kQ1[y] ^ Byte(l[2], 0);
            return kQ1[kQ0[kQ0[y] ^ Byte(l[1], 0)] ^ Byte(l[0], 0)];
        case 1:
            if (k == 4)
                y = kQ0[y] ^ Byte(l[3], 1);
            if (k >= 3)
                y = kQ1[y] ^ Byte(l[2], 1);
            return kQ0[kQ0[kQ1[y] ^ Byte(l[1], 1)] ^ Byte(l[0], 1)];
        case 2:
            if (k == 4)
                y = kQ0[y] ^ Byte(l[3], 2);
            if (k >= 3)
                y = kQ0[y] ^ Byte(l[2], 2);
            return kQ1[kQ1[kQ0[y] ^ Byte(l[1], 2)] ^ Byte(l[0], 2)];
        default:
            if (k == 4)
                y = kQ1[y] ^ Byte(l[3], 3);
            if (k >= 3)
                y = kQ0[y] ^ Byte(l[2], 3);
            return kQ0[kQ1[kQ1[y] ^ Byte(l[1], 3)] ^ Byte(l[0], 3)];
    }
}

uint32_t H(uint32_t x, const uint32_t* l, int k) {
    uint32_t z = 0;
    for (int pos = 0; pos < 4; ++pos) {
        z ^= kMdsCol[pos][HByte(pos, uint8_t(Byte(x, pos)), l, k)];
    }
    return z;
}

}  // namespace

TEnc_Twofish::TEnc_Twofish() : TEncryptChain(kContext, reinterpret_cast<uint8_t*>(&k_)) {
    Protect();
}

TEnc_Twofish::~TEnc_Twofish() {
    Protect();
}

void TEnc_Twofish::KeySchedule(const uint8_t* key, int32_t size) {
    scheduledPublished_ = published_;
    const int bytes = size <= 16 ? 16 : size <= 24 ? 24 : 32;
    const int k = bytes / 8;
    uint8_t m[32] = {};
    if (size > 0) {
        std::memcpy(m, key, static_cast<size_t>(size));
    }
    uint32_t me[4], mo[4], s[4];
    for (int i = 0; i < k; ++i) {
        me[i] = uint32_t(m[8 * i]) | uint32_t(m[8 * i + 1]) << 8 | uint32_t(m[8 * i + 2]) << 16 |
                uint32_t(m[8 * i + 3]) << 24;
        mo[i] = uint32_t(m[8 * i + 4]) | uint32_t(m[8 * i + 5]) << 8 |
                uint32_t(m[8 * i + 6]) << 16 | uint32_t(m[8 * i + 7]) << 24;
        uint32_t word = 0;
        for (int r = 0; r < 4; ++r) {
            uint8_t acc = 0;
            for (int c = 0; c < 8; ++c) {
                acc ^= GfMul(kRs[r][c], m[8 * i + c], 0x14D);
            }
            word |= uint32_t(acc) << (8 * r);
        }
        // The S-box key words are used in reverse order.
        s[k - 1 - i] = word;
    }
    constexpr uint32_t kRho = 0x01010101;
    for (uint32_t i = 0; i < 20; ++i) {
        const uint32_t a = H(2 * i * kRho, me, k);
        const uint32_t b = Rol(H((2 * i + 1) * kRho, mo, k), 8);
        k_.K[2 * i] = a + b;
        k_.K[2 * i + 1] = Rol(published_ ? a + 2 * b : a + (b >> 1), 9);
    }
    for (int pos = 0; pos < 4; ++pos) {
        for (int x = 0; x < 256; ++x) {
            k_.S[pos][x] = kMdsCol[pos][HByte(pos, uint8_t(x), s, k)];
        }
    }
    std::memset(m, 0, sizeof m);
    std::memset(me, 0, sizeof me);
    std::memset(mo, 0, sizeof mo);
    std::memset(s, 0, sizeof s);
}

// The byte-2 lookup starts a cycle after the others (shift, then mask), so it joins last.
QUORV_CIPHER_INLINE uint32_t TEnc_Twofish::G0(uint32_t x) const {
    return k_.S[0][Byte(x, 0)] ^ k_.S[1][Byte(x, 1)] ^ k_.S[3][Byte(x, 3)] ^ k_.S[2][Byte(x, 2)];
}

QUORV_CIPHER_INLINE uint32_t TEnc_Twofish::G1(uint32_t x) const {
    return k_.S[0][Byte(x, 3)] ^ k_.S[1][Byte(x, 0)] ^ k_.S[2][Byte(x, 1)] ^ k_.S[3][Byte(x, 2)];
}

// One round on N independent blocks: y0, y1 take the F outputs of x0, x1. x1 always comes
// out of the previous round a step before x0, so its share of F is summed with the subkeys
// first and only t0 is left on the critical path.
template <int N>
QUORV_CIPHER_INLINE void TEnc_Twofish::Round(const uint32_t* x0, const uint32_t* x1, uint32_t* y0,
                                             uint32_t* y1, const uint32_t* k) const {
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        const uint32_t t1 = G1(x1[j]);
        uint32_t u = t1 + k[0], v = 2 * t1 + k[1];
        asm("" : "+r"(u), "+r"(v));
        const uint32_t t0 = G0(x0[j]);
        y0[j] = Ror(y0[j] ^ (t0 + u), 1);
        y1[j] = Rol(y1[j], 1) ^ (t0 + v);
    }
}

template <int N>
QUORV_CIPHER_INLINE void TEnc_Twofish::Unround(const uint32_t* x0, const uint32_t* x1, uint32_t* y0,
                                               uint32_t* y1, const uint32_t* k) const {
    // Backwards the early and late inputs trade places.
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        const uint32_t t0 = G0(x0[j]);
        uint32_t u = t0 + k[0], v = t0 + k[1];
        asm("" : "+r"(u), "+r"(v));
        const uint32_t t1 = G1(x1[j]);
        y0[j] = Rol(y0[j], 1) ^ (u + t1);
        y1[j] = Ror(y1[j] ^ (v + 2 * t1), 1);
    }
}

template <bool kPublished, int N>
QUORV_CIPHER_INLINE void TEnc_Twofish::Encrypt(uint64_t* w) const {
    const uint32_t* K = k_.K;
    uint32_t a[N], b[N], c[N], d[N];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        a[j] = LoLE(w[2 * j]) ^ K[0];
        b[j] = HiLE(w[2 * j]) ^ K[1];
        c[j] = LoLE(w[2 * j + 1]) ^ K[2];
        d[j] = HiLE(w[2 * j + 1]) ^ K[3];
    }
    // Pass p uses pairs p and p+1 (store) or 2p and 2p+1 (published), counted from K[8].
    constexpr int passes = kPublished ? 8 : 15;
    constexpr int step = kPublished ? 4 : 2;
#pragma GCC unroll 15
    for (int p = 0; p < passes; ++p) {
        Round<N>(a, b, c, d, K + 8 + step * p);
        Round<N>(c, d, a, b, K + 10 + step * p);
    }
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        w[2 * j] = MakeLE(c[j] ^ K[4], d[j] ^ K[5]);
        w[2 * j + 1] = MakeLE(a[j] ^ K[6], b[j] ^ K[7]);
    }
}

template <bool kPublished, int N>
QUORV_CIPHER_INLINE void TEnc_Twofish::Decrypt(uint64_t* w) const {
    const uint32_t* K = k_.K;
    uint32_t a[N], b[N], c[N], d[N];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        c[j] = LoLE(w[2 * j]) ^ K[4];
        d[j] = HiLE(w[2 * j]) ^ K[5];
        a[j] = LoLE(w[2 * j + 1]) ^ K[6];
        b[j] = HiLE(w[2 * j + 1]) ^ K[7];
    }
    constexpr int passes = kPublished ? 8 : 15;
    constexpr int step = kPublished ? 4 : 2;
#pragma GCC unroll 15
    for (int p = passes - 1; p >= 0; --p) {
        Unround<N>(c, d, a, b, K + 10 + step * p);
        Unround<N>(a, b, c, d, K + 8 + step * p);
    }
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        w[2 * j] = MakeLE(a[j] ^ K[0], b[j] ^ K[1]);
        w[2 * j + 1] = MakeLE(c[j] ^ K[2], d[j] ^ K[3]);
    }
}

template <int N>
QUORV_CIPHER_INLINE void TEnc_Twofish::EncBlocks(uint64_t* w) const {
    if (scheduledPublished_) [[unlikely]] {
        Encrypt<true, N>(w);
    } else {
        Encrypt<false, N>(w);
    }
}

template <int N>
QUORV_CIPHER_INLINE void TEnc_Twofish::DecBlocks(uint64_t* w) const {
    if (scheduledPublished_) [[unlikely]] {
        Decrypt<true, N>(w);
    } else {
        Decrypt<false, N>(w);
    }
}

template class TEncryptChain<TEnc_Twofish, 16>;

}  // namespace quorv::store
