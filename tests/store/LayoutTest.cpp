#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "StoreTestUtil.h"
#include "store/Coding.h"
#include "store/FileLayout.h"
#include "store/processing/Hash_SHA.h"

namespace quorv::store {
namespace {

using test::TempDir;

int32_t I32(const std::vector<uint8_t>& b, size_t at) {
    return DecodeFixed32(b.data() + at);
}

std::string Text(const std::vector<uint8_t>& b, size_t at, size_t size) {
    return DecodeFixedName(b.data() + at, size);
}

TEST(CreatedFile, FixedPartWithoutEncryption) {
    TempDir dir;
    const std::string path = dir.File("plain.dat");
    ASSERT_TRUE(TStoreFileIO::CreateDatabaseFile(path, mtDisk, true, 3, "ZLIB", false, "Gost",
                                                 "secret", true));
    const auto b = test::ReadFileBytes(path);
    ASSERT_EQ(b.size(), 3821u);
    const uint8_t ident[12] = {0x54, 0x69, 0x6E, 0x79, 0x44, 0x42, 0, '2', '.', '0', 0, 0};
    EXPECT_EQ(0, std::memcmp(b.data(), ident, 12));
    EXPECT_TRUE(std::all_of(b.begin() + 12, b.begin() + 2317, [](uint8_t c) { return c == 0; }));

    const size_t ext = 2317;
    EXPECT_EQ(b[ext + 0], 1);
    EXPECT_EQ(b[ext + 1], 3);
    EXPECT_EQ(Text(b, ext + 2, 33), "ZLIB");
    EXPECT_EQ(b[ext + 35], 0);
    EXPECT_EQ(b[ext + 36], 0);
    EXPECT_EQ(Text(b, ext + 37, 33), "Gost");
    EXPECT_EQ(b[ext + 70], 1);
    EXPECT_TRUE(std::all_of(b.begin() + ext + 71, b.begin() + ext + 327,
                            [](uint8_t c) { return c >= 20 && c <= 122; }));
    // The digest is stored whether or not the file is encrypted.
    EXPECT_EQ(Text(b, ext + 327, 129), PasswordDigest("secret"));
    EXPECT_TRUE(std::all_of(b.begin() + ext + 456, b.begin() + ext + 472,
                            [](uint8_t c) { return c == 0; }));
    EXPECT_TRUE(std::all_of(b.begin() + 2789, b.end(), [](uint8_t c) { return c == 0; }));
}

TEST(CreatedFile, EncryptedReservedAreaAndFreshFiller) {
    TempDir dir;
    const std::string a = dir.File("a.dat"), c = dir.File("c.dat");
    ASSERT_TRUE(test::CreateProgramDatabase(a));
    ASSERT_TRUE(test::CreateProgramDatabase(c));
    const auto b = test::ReadFileBytes(a);
    const auto b2 = test::ReadFileBytes(c);
    ASSERT_EQ(b.size(), 3821u);
    // Only the first 257 bytes of the reserved area are enciphered.
    const auto first = b.begin() + 12;
    EXPECT_GT(std::count_if(first, first + 257, [](uint8_t x) { return x != 0; }), 200);
    EXPECT_TRUE(std::all_of(first + 257, b.begin() + 2317, [](uint8_t x) { return x == 0; }));
    EXPECT_TRUE(std::equal(first, first + 257, b2.begin() + 12));  // same password, same bytes
    EXPECT_EQ(b[2317 + 35], 1);
    EXPECT_FALSE(std::equal(b.begin() + 2317 + 71, b.begin() + 2317 + 327, b2.begin() + 2317 + 71));
}

TEST(CreatedFile, FailuresAnswerFalseAndLongNamesAreCut) {
    TempDir dir;
    const std::string path = dir.File("x.dat");
    // An unknown encryption name cannot be set up; an unknown compression would make a
    // file no one can open: both refuse.
    EXPECT_FALSE(
        TStoreFileIO::CreateDatabaseFile(path, mtDisk, false, 0, "", true, "Nope", "", false));
    EXPECT_FALSE(
        TStoreFileIO::CreateDatabaseFile(path, mtDisk, true, 0, "Nope", false, "", "", false));
    EXPECT_FALSE(TStoreFileIO::CreateDatabaseFile(dir.File("no/such/dir.dat"), mtDisk, false, 0, "",
                                                  false, "", "", false));
    const std::string longName(40, 'x');
    ASSERT_TRUE(TStoreFileIO::CreateDatabaseFile(path, mtDisk, false, 0, longName, false, longName,
                                                 "", false));
    const auto b = test::ReadFileBytes(path);
    EXPECT_EQ(Text(b, 2317 + 2, 33), std::string(32, 'x'));
    EXPECT_EQ(b[2317 + 2 + 32], 0);
}

TEST(TableHeaderBytes, NewTableWithPrimaryIndex) {
    TempDir dir;
    const std::string path = dir.File("t.dat");
    ASSERT_TRUE(test::CreateProgramDatabase(path));
    {
        TStoreFileIO io;
        io.Open(path);
        ASSERT_TRUE(io.CreateTable("tblIPList", test::ProfileFields()));
    }
    const auto b = test::ReadFileBytes(path);
    ASSERT_EQ(b.size(), 3821u + 4821u);
    EXPECT_EQ(I32(b, 2789), 1);
    EXPECT_EQ(I32(b, 2789 + 8), 3821);
    const size_t h = 3821;
    EXPECT_EQ(Text(b, h, 33), "tblIPList");
    EXPECT_EQ(I32(b, h + 33), 0);
    EXPECT_EQ(I32(b, h + 37), 0);
    EXPECT_EQ(I32(b, h + 41), 0);
    EXPECT_EQ(I32(b, h + 45), 4);
    const size_t f1 = h + 49 + 43;  // "Name"
    EXPECT_EQ(Text(b, f1, 33), "Name");
    EXPECT_EQ(b[f1 + 33], ftString);
    EXPECT_EQ(I32(b, f1 + 34), 50);
    EXPECT_EQ(b[f1 + 38], 0);
    EXPECT_EQ(I32(b, h + 49 + 3 * 43 + 34), 0);  // memo size
    EXPECT_EQ(I32(b, h + 4177), 1);
    const size_t x = h + 4181;
    EXPECT_EQ(Text(b, x, 33), "Num");
    EXPECT_EQ(b[x + 33], tiPrimary);
    EXPECT_EQ(I32(b, x + 34), 0);
    for (int i = 1; i < 8; ++i) {
        EXPECT_EQ(I32(b, x + 34 + 4 * i), -1);
    }
    EXPECT_EQ(I32(b, x + 66), 3821 + 4821);  // the end of the file when it was made
    EXPECT_EQ(I32(b, x + 70), 0);
}

}  // namespace
}  // namespace quorv::store
