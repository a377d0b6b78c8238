#include "store/processing/Enc_Gost.h"

#include <array>
#include <cstring>

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

constexpr std::array<std::array<uint32_t, 256>, 4> MakeTables() {
    std::array<std::array<uint32_t, 256>, 4> t{};
    for (int j = 0; j < 4; ++j) {
        for (int b = 0; b < 256; ++b) {
            const uint32_t v = uint32_t(kSBox[2 * j][b & 15] | kSBox[2 * j + 1][b >> 4] << 4)
                               << (8 * j);
            t[j][b] = (v << 11) | (v >> 21);
        }
    }
    return t;
}

alignas(64) constexpr std::array<std::array<uint32_t, 256>, 4> kTables = MakeTables();

inline uint32_t F(uint32_t x) {
    return kTables[0][x & 255] ^ kTables[1][(x >> 8) & 255] ^ kTables[2][(x >> 16) & 255] ^
           kTables[3][x >> 24];
}

}  // namespace

TEnc_Gost::TEnc_Gost() : TEncryptChain(kContext, key_) {}

TEnc_Gost::~TEnc_Gost() {
    Protect();
}

const TEnc_Gost::Table& TEnc_Gost::Tables() {
    return *reinterpret_cast<const Table*>(kTables.data());
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

QUORV_CIPHER_INLINE void TEnc_Gost::EncWords(uint64_t* w) const {
    uint32_t n1 = LoLE(w[0]), n2 = HiLE(w[0]);
    const uint32_t k0 = KeyWord(0), k1 = KeyWord(1), k2 = KeyWord(2), k3 = KeyWord(3),
                   k4 = KeyWord(4), k5 = KeyWord(5), k6 = KeyWord(6), k7 = KeyWord(7);
    for (int r = 0; r < 3; ++r) {
        n2 ^= F(n1 + k0);
        n1 ^= F(n2 + k1);
        n2 ^= F(n1 + k2);
        n1 ^= F(n2 + k3);
        n2 ^= F(n1 + k4);
        n1 ^= F(n2 + k5);
        n2 ^= F(n1 + k6);
        n1 ^= F(n2 + k7);
    }
    n2 ^= F(n1 + k7);
    n1 ^= F(n2 + k6);
    n2 ^= F(n1 + k5);
    n1 ^= F(n2 + k4);
    n2 ^= F(n1 + k3);
    n1 ^= F(n2 + k2);
    n2 ^= F(n1 + k1);
    n1 ^= F(n2 + k0);
    w[0] = MakeLE(n2, n1);
}

QUORV_CIPHER_INLINE void TEnc_Gost::DecWords(uint64_t* w) const {
    uint32_t n1 = LoLE(w[0]), n2 = HiLE(w[0]);
    const uint32_t k0 = KeyWord(0), k1 = KeyWord(1), k2 = KeyWord(2), k3 = KeyWord(3),
                   k4 = KeyWord(4), k5 = KeyWord(5), k6 = KeyWord(6), k7 = KeyWord(7);
    n2 ^= F(n1 + k0);
    n1 ^= F(n2 + k1);
    n2 ^= F(n1 + k2);
    n1 ^= F(n2 + k3);
    n2 ^= F(n1 + k4);
    n1 ^= F(n2 + k5);
    n2 ^= F(n1 + k6);
    n1 ^= F(n2 + k7);
    for (int r = 0; r < 3; ++r) {
        n2 ^= F(n1 + k7);
        n1 ^= F(n2 + k6);
        n2 ^= F(n1 + k5);
        n1 ^= F(n2 + k4);
        n2 ^= F(n1 + k3);
        n1 ^= F(n2 + k2);
        n2 ^= F(n1 + k1);
        n1 ^= F(n2 + k0);
    }
    w[0] = MakeLE(n2, n1);
}

template class TEncryptChain<TEnc_Gost, 8>;

}  // namespace quorv::store
