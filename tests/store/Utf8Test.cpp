#include <gtest/gtest.h>

#include "store/Coding.h"
#include "store/Utf8.h"

namespace quorv::store {
namespace {

TEST(Utf8Truncate, NeverSplitsACharacter) {
    EXPECT_EQ(Utf8Truncate("abc", 5), "abc");
    EXPECT_EQ(Utf8Truncate("abc", 2), "ab");
    EXPECT_EQ(Utf8Truncate("abc", 0), "");
    const std::string han = "\xED\x95\x9C\xEA\xB8\x80";  // two 3-byte characters
    EXPECT_EQ(Utf8Truncate(han, 6), han);
    EXPECT_EQ(Utf8Truncate(han, 5), han.substr(0, 3));
    EXPECT_EQ(Utf8Truncate(han, 4), han.substr(0, 3));
    EXPECT_EQ(Utf8Truncate(han, 3), han.substr(0, 3));
    EXPECT_EQ(Utf8Truncate(han, 2), "");
    const std::string mixed = "a\xC3\xA9\xF0\x9F\x98\x80";  // a, e-acute, an emoji
    EXPECT_EQ(Utf8Truncate(mixed, 2), "a");
    EXPECT_EQ(Utf8Truncate(mixed, 3), "a\xC3\xA9");
    EXPECT_EQ(Utf8Truncate(mixed, 6), "a\xC3\xA9");
    EXPECT_EQ(Utf8Truncate(mixed, 7), mixed);
}

TEST(Utf8Truncate, InvalidBytesAreCutLikeSingleBytes) {
    EXPECT_EQ(Utf8Truncate("\xFF\xFE\xFD", 2), "\xFF\xFE");
    // Stray continuation bytes: no lead byte within reach, cut where asked.
    EXPECT_EQ(Utf8Truncate("\x80\x80\x80\x80\x80", 4), "\x80\x80\x80\x80");
}

TEST(FixedName, CutsAndTerminates) {
    uint8_t b[5];
    EncodeFixedName(b, 5, "abcdefgh");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 5), std::string("abcd\0", 5));
    EXPECT_EQ(DecodeFixedName(b, 5), "abcd");
    const uint8_t unterminated[3] = {'x', 'y', 'z'};
    EXPECT_EQ(DecodeFixedName(unterminated, 3), "xyz");
}

}  // namespace
}  // namespace quorv::store
