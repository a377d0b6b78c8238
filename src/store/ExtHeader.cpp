#include "store/ExtHeader.h"

#include <cstring>
#include <random>

#include "store/Coding.h"

namespace quorv::store {

namespace {

constexpr int kCompressFlag = 0;
constexpr int kCompressLevel = 1;
constexpr int kCompressAlgo = 2;
constexpr int kEncryptFlag = 35;
constexpr int kEncryptMode = 36;
constexpr int kEncryptAlgo = 37;
constexpr int kWriteVerify = 70;
constexpr int kFiller = 71;
constexpr int kDigest = 327;

}  // namespace

void TExtHeader::RandomizeFiller() {
    std::random_device seed;
    std::mt19937 gen(seed());
    std::uniform_int_distribution<int> dist(20, 122);
    for (auto& b : Filler) {
        b = static_cast<uint8_t>(dist(gen));
    }
}

TExtHeader TExtHeader::DecodeFrom(const uint8_t* src) {
    TExtHeader h;
    h.Compress = src[kCompressFlag] != 0;
    h.CompressLevel = src[kCompressLevel];
    h.CompressAlgo = DecodeFixedName(src + kCompressAlgo, kNameSize);
    h.Encrypt = src[kEncryptFlag] != 0;
    h.EncryptMode = src[kEncryptMode];
    h.EncryptAlgo = DecodeFixedName(src + kEncryptAlgo, kNameSize);
    h.WriteVerify = src[kWriteVerify] != 0;
    std::memcpy(h.Filler.data(), src + kFiller, kFillerSize);
    h.PasswordDigest = DecodeFixedName(src + kDigest, kDigestSize);
    return h;
}

void TExtHeader::EncodeTo(uint8_t* dst) const {
    std::memset(dst, 0, kExtHeaderSize);
    dst[kCompressFlag] = Compress ? 1 : 0;
    dst[kCompressLevel] = CompressLevel;
    EncodeFixedName(dst + kCompressAlgo, kNameSize, CompressAlgo);
    dst[kEncryptFlag] = Encrypt ? 1 : 0;
    dst[kEncryptMode] = EncryptMode;
    EncodeFixedName(dst + kEncryptAlgo, kNameSize, EncryptAlgo);
    dst[kWriteVerify] = WriteVerify ? 1 : 0;
    std::memcpy(dst + kFiller, Filler.data(), kFillerSize);
    EncodeFixedName(dst + kDigest, kDigestSize, PasswordDigest);
}

}  // namespace quorv::store
