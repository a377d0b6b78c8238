#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "store/processing/Hash_CheckSum.h"
#include "store/processing/Hash_SHA.h"

namespace quorv::store {
namespace {

std::string Hex(const uint8_t* p, size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += kDigits[p[i] >> 4];
        s += kDigits[p[i] & 15];
    }
    return s;
}

std::vector<uint8_t> Unhex(const std::string& s) {
    std::vector<uint8_t> v;
    for (size_t i = 0; i + 1 < s.size(); i += 2) {
        v.push_back(static_cast<uint8_t>(std::stoi(s.substr(i, 2), nullptr, 16)));
    }
    return v;
}

std::string Sha(const std::string& message, bool rotate = false) {
    THash_SHA hash;
    hash.SetRotate(rotate);
    hash.Update(message.data(), message.size());
    hash.Final();
    return Hex(hash.Digest(), THash_SHA::kDigestSize);
}

TEST(HashSha, PublishedShaZeroVectors) {
    EXPECT_EQ(Sha("abc"), "0164b8a914cd2a5e74c4f7ff082c4d97f1edf880");
    EXPECT_EQ(Sha("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "d2516ee1acfa5baf33dfc1c471e438449ef134c8");
    EXPECT_EQ(Sha(""), "f96cea198ad1dd5617ac084a3d92c6107708c0ef");
}

TEST(HashSha, MillionAInUnevenPieces) {
    // Pieces that straddle the 64-byte blocks exercise the buffering in Update.
    const std::string a(1000000, 'a');
    THash_SHA hash;
    size_t done = 0, piece = 1;
    while (done < a.size()) {
        const size_t take = std::min(piece, a.size() - done);
        hash.Update(a.data() + done, take);
        done += take;
        piece = piece * 3 % 1021 + 1;
    }
    hash.Final();
    EXPECT_EQ(Hex(hash.Digest(), 20), "3232affa48628a26653b5aaa44541fd90d690603");
}

TEST(HashSha, RotationSwitchGivesShaOneAcrossPaddingBoundaries) {
    // With the switch on the same code is SHA-1, whose values are easy to check elsewhere;
    // lengths 55/56 and 63/64 put the length field in the same or the next block.
    EXPECT_EQ(Sha("abc", true), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Sha(std::string(55, 'a'), true), "c1c8bbdc22796e28c0e15163d20899b65621d65a");
    EXPECT_EQ(Sha(std::string(56, 'a'), true), "c2db330f6083854c99d4b5bfb6e8f29f201be699");
    EXPECT_EQ(Sha(std::string(63, 'a'), true), "03f09f5b158a7a8cdad920bddc29b81c18a551f5");
    EXPECT_EQ(Sha(std::string(64, 'a'), true), "0098ba824b5c16427bd7a1122a5a442a25ec644d");
    EXPECT_EQ(Sha(std::string(119, 'a'), true), "ee971065aaa017e0632a8ca6c77bb3bf8b1dfc56");
}

TEST(PasswordDigest, EncoderDropsTrailingZeroGroups) {
    auto text = [](const std::string& hex) {
        const auto bytes = Unhex(hex);
        return DigestToText(bytes.data(), bytes.size());
    };
    EXPECT_EQ(text("4d616e"), "TWFu");
    EXPECT_EQ(text("410000"), "QQ");
    EXPECT_EQ(text("000000"), "");
    EXPECT_EQ(text("4140"), "QU=");
    EXPECT_EQ(text("00"), "==");
    // Leading zero groups are written; only the trailing ones go.
    EXPECT_EQ(text("000041"), "AABB");
    EXPECT_EQ(text("001000"), "AB");
    EXPECT_EQ(text(""), "");
}

TEST(PasswordDigest, KnownPasswords) {
    EXPECT_EQ(PasswordDigest(""), "+WzqGYrR3VYXrAhKPZLGEHcIwO8=");
    EXPECT_EQ(PasswordDigest("abc"), "AWS4qRTNKl50xPf/CCxNl/Ht+I=");
    EXPECT_EQ(PasswordDigest("8074"), "h+FLnnUOJANt5/t3eKOyrURpnts=");
    // A digest with a zero 6-bit group at the end of an inner group gives a shorter text.
    EXPECT_EQ(PasswordDigest("pw6"), "miZ3AwqZ0PxMmbcRsjzDctXZc=");
    // Bytes above 0x7F are hashed as they are.
    EXPECT_NE(PasswordDigest("\xB0\xA1"), PasswordDigest("\xB0\xA2"));
    EXPECT_NE(PasswordDigest(std::string("a\0b", 3)), PasswordDigest("a"));
}

TEST(PasswordDigest, AtMost28CharactersEndingInEquals) {
    for (int i = 0; i < 500; ++i) {
        const std::string text = PasswordDigest("password " + std::to_string(i));
        EXPECT_LE(text.size(), 28u);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '=');
        EXPECT_NE(text[text.size() - 2], '=');
    }
}

TEST(Crc32, MatchesZlibOverFullBuffer) {
    std::vector<uint8_t> data(65536);
    uint32_t x = 1;
    for (auto& b : data) {
        x = x * 1103515245 + 12345;
        b = static_cast<uint8_t>(x >> 16);
    }
    const uLong expected = crc32(crc32(0, Z_NULL, 0), data.data(), data.size());
    EXPECT_EQ(CRC32(data.data(), data.size()), expected);
    // The last byte counts.
    data.back() ^= 1;
    EXPECT_NE(CRC32(data.data(), data.size()), expected);
}

TEST(Crc32, CheckValueAndHashObject) {
    EXPECT_EQ(CRC32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(CRC32(nullptr, 0), 0u);
    THash_CRC32 hash;
    hash.Update("12345", 5);
    hash.Update("6789", 4);
    hash.Final();
    EXPECT_EQ(hash.Value(), 0xCBF43926u);
    EXPECT_EQ(Hex(hash.Digest(), 4), "2639f4cb");
}

}  // namespace
}  // namespace quorv::store
