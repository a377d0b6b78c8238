#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "StoreTestUtil.h"
#include "store/BlobSlot.h"
#include "store/Coding.h"
#include "store/FileLayout.h"
#include "store/RecordTab.h"
#include "store/TableHeader.h"
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

TEST(CreatedFile, LongNamesAreCut) {
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

TEST(LayoutCoding, RoundTrips) {
    TTableHeader h;
    h.Name = "T";
    h.FirstRecordBlock = 5000;
    h.RecordTabCount = 7;
    h.AutoIncCounter = -3;
    h.Fields.push_back(TFieldItem{"A", ftString, 10, 1});
    h.Indexes.push_back(
        TIndexItem{"I", tiUnique | tiDescending, {0, -1, -1, -1, -1, -1, -1, -1}, 9000, 4});
    std::vector<uint8_t> bytes(kTableHeaderSize);
    h.EncodeTo(bytes.data());
    const TTableHeader d = TTableHeader::DecodeFrom(bytes.data());
    EXPECT_EQ(d.Name, "T");
    EXPECT_EQ(d.FirstRecordBlock, 5000);
    EXPECT_EQ(d.RecordTabCount, 7);
    EXPECT_EQ(d.AutoIncCounter, -3);
    ASSERT_EQ(d.Fields.size(), 1u);
    EXPECT_EQ(d.Fields[0].Size, 10);
    EXPECT_EQ(d.Fields[0].SkipProcessing, 1);
    ASSERT_EQ(d.Indexes.size(), 1u);
    EXPECT_EQ(d.Indexes[0].Options, tiUnique | tiDescending);
    EXPECT_EQ(d.Indexes[0].FirstBlock, 9000);
    EXPECT_EQ(d.Indexes[0].Head, 4);

    TBlobSlot s{4000, 65, 128, {1, 2, 3, 4, 5, 6, 7, 8}};
    uint8_t sb[kBlobSlotSize];
    s.EncodeTo(sb);
    const TBlobSlot t = TBlobSlot::DecodeFrom(sb);
    EXPECT_EQ(t.Offset, 4000);
    EXPECT_EQ(t.Length, 65);
    EXPECT_EQ(t.AreaSize, 128);
    EXPECT_EQ(t.Reserved[7], 8);
    EXPECT_EQ(BlobAreaFor(0), 64);
    EXPECT_EQ(BlobAreaFor(63), 64);
    EXPECT_EQ(BlobAreaFor(64), 128);

    TRecordTabBlock blk;
    blk.Next = 123;
    blk.Items[1023] = TRecordTabItem{77, 1};
    std::vector<uint8_t> bb(kRecordTabBlockSize);
    blk.EncodeTo(bb.data());
    EXPECT_EQ(DecodeFixed32(bb.data() + 4 + 1023 * 5), 77);
    EXPECT_EQ(bb[4 + 1023 * 5 + 4], 1);
    EXPECT_EQ(TRecordTabBlock::DecodeFrom(bb.data()).Next, 123);
}

TEST(LayoutChecks, HeaderProblems) {
    TTableHeader h;
    h.Fields.push_back(TFieldItem{"A", ftInteger, 0, 0});
    h.StoredFieldCount = 1;
    EXPECT_EQ(h.Problem(10000), "");
    h.RecordTabCount = 1;
    h.FirstRecordBlock = 3821;
    EXPECT_NE(h.Problem(3821 + 5123), "");  // the block does not fit
    EXPECT_EQ(h.Problem(3821 + 5124), "");
    h.RecordTabCount = 1025;  // two blocks cannot fit in one block's room
    EXPECT_NE(h.Problem(3821 + 5124), "");
    h.RecordTabCount = -1;
    EXPECT_NE(h.Problem(1 << 20), "");
    h.RecordTabCount = 0;
    h.StoredFieldCount = 96;
    EXPECT_NE(h.Problem(1 << 20), "");
    h.StoredFieldCount = 1;
    h.Fields[0].FieldType = 8;  // BCD is not stored
    EXPECT_NE(h.Problem(1 << 20), "");
    h.Fields[0] = TFieldItem{"S", ftString, 0, 0};
    EXPECT_NE(h.Problem(1 << 20), "");
    h.Fields[0].Size = 8192;
    EXPECT_EQ(h.Problem(1 << 20), "");
    h.Indexes.push_back(TIndexItem{"I", 0, {1, -1, -1, -1, -1, -1, -1, -1}, 0, 0});
    h.StoredIndexCount = 1;
    EXPECT_NE(h.Problem(1 << 20), "");  // key field 1 of a one-field table

    TBlobSlot s{3821, 10, 64, {}};
    EXPECT_EQ(s.Problem(3831), "");
    EXPECT_NE(s.Problem(3830), "");
    s.AreaSize = 5;
    EXPECT_NE(s.Problem(1 << 20), "");
    s = TBlobSlot{100, 0, 64, {}};
    EXPECT_NE(s.Problem(1 << 20), "");
}

}  // namespace
}  // namespace quorv::store
