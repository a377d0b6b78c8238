#include "store/processing/Hash_SHA.h"

#include <algorithm>
#include <cstring>

namespace quorv::store {

namespace {

inline uint32_t Rol(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline uint32_t LoadBE(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

inline void StoreBE(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

}  // namespace

THash_SHA::THash_SHA() {
    Reset();
}

THash_SHA::~THash_SHA() {
    SecureZero(digest_, sizeof digest_);
    SecureZero(block_, sizeof block_);
    SecureZero(state_, sizeof state_);
}

void THash_SHA::Reset() {
    state_[0] = 0x67452301;
    state_[1] = 0xEFCDAB89;
    state_[2] = 0x98BADCFE;
    state_[3] = 0x10325476;
    state_[4] = 0xC3D2E1F0;
    count_ = 0;
    fill_ = 0;
    std::memset(block_, 0, sizeof block_);
    std::memset(digest_, 0, sizeof digest_);
}

void THash_SHA::Transform(const uint8_t* block) {
    uint32_t w[80];
    for (int t = 0; t < 16; ++t) {
        w[t] = LoadBE(block + 4 * t);
    }
    if (rotate_) {
        for (int t = 16; t < 80; ++t) {
            w[t] = Rol(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
        }
    } else {
        for (int t = 16; t < 80; ++t) {
            w[t] = w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16];
        }
    }
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
    auto step = [&](uint32_t f, uint32_t k, uint32_t wt) {
        uint32_t tmp = Rol(a, 5) + f + e + k + wt;
        e = d;
        d = c;
        c = Rol(b, 30);
        b = a;
        a = tmp;
    };
    int t = 0;
    for (; t < 20; ++t) {
        step((b & c) | (~b & d), 0x5A827999, w[t]);
    }
    for (; t < 40; ++t) {
        step(b ^ c ^ d, 0x6ED9EBA1, w[t]);
    }
    for (; t < 60; ++t) {
        step((b & c) | (b & d) | (c & d), 0x8F1BBCDC, w[t]);
    }
    for (; t < 80; ++t) {
        step(b ^ c ^ d, 0xCA62C1D6, w[t]);
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
    state_[4] += e;
}

void THash_SHA::Update(const void* data, size_t length) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    count_ += static_cast<uint32_t>(length);
    if (fill_ > 0) {
        size_t take = std::min(length, sizeof block_ - fill_);
        std::memcpy(block_ + fill_, p, take);
        fill_ += take;
        p += take;
        length -= take;
        if (fill_ < sizeof block_) {
            return;
        }
        Transform(block_);
        fill_ = 0;
    }
    for (; length >= sizeof block_; p += sizeof block_, length -= sizeof block_) {
        Transform(p);
    }
    if (length > 0) {
        std::memcpy(block_, p, length);
        fill_ = length;
    }
}

void THash_SHA::Final() {
    // The bit count comes from the 32-bit byte counter: at most 2^35 - 8.
    const uint64_t bits = uint64_t(count_) * 8;
    block_[fill_++] = 0x80;
    if (fill_ > 56) {
        std::memset(block_ + fill_, 0, sizeof block_ - fill_);
        Transform(block_);
        fill_ = 0;
    }
    std::memset(block_ + fill_, 0, 56 - fill_);
    StoreBE(block_ + 56, uint32_t(bits >> 32));
    StoreBE(block_ + 60, uint32_t(bits));
    Transform(block_);
    for (int i = 0; i < 5; ++i) {
        StoreBE(digest_ + 4 * i, state_[i]);
    }
    std::memset(block_, 0, sizeof block_);
    fill_ = 0;
}

std::string DigestToText(const uint8_t* data, size_t length) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < length; i += 3) {
        uint32_t v = uint32_t(data[i]) << 16;
        if (i + 1 < length) {
            v |= uint32_t(data[i + 1]) << 8;
        }
        if (i + 2 < length) {
            v |= data[i + 2];
        }
        int groups = 4;
        while (groups > 0 && ((v >> (6 * (4 - groups))) & 63) == 0) {
            --groups;
        }
        for (int g = 0; g < groups; ++g) {
            out += kAlphabet[(v >> (18 - 6 * g)) & 63];
        }
    }
    if (length % 3 == 1) {
        out += "==";
    } else if (length % 3 == 2) {
        out += "=";
    }
    return out;
}

std::string PasswordDigest(std::string_view password) {
    THash_SHA hash;
    hash.Update(password.data(), password.size());
    hash.Final();
    return DigestToText(hash.Digest(), THash_SHA::kDigestSize);
}

}  // namespace quorv::store
