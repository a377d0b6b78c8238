#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "StoreTestUtil.h"
#include "store/Coding.h"
#include "store/MemoryMedium.h"
#include "store/StoreCheck.h"
#include "store/StoreTable.h"
#include "store/StoreTableIO.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

using test::TempDir;

// Result of reading a whole image: the summary, or the error text.
struct Outcome {
    bool ok = false;
    TStoreCheckSummary summary;
    std::string error;
};

Outcome ReadImage(const std::vector<uint8_t>& bytes) {
    Outcome out;
    try {
        out.summary = ReadWholeImage(bytes.data(), bytes.size(), test::kPassword);
        out.ok = true;
    } catch (const EDatabaseError& e) {
        out.error = e.what();
    }
    // Anything else escapes and fails the test: damage must come out as EDatabaseError.
    return out;
}

std::string Memo(int i) {
    std::string s;
    for (int k = 0; k < 40 + i * 50; ++k) {
        s += static_cast<char>('a' + (k * (i + 3)) % 26);
    }
    return s;
}

struct Sample {
    std::vector<uint8_t> bytes;
    // Where each record of table "P" ends (its data and memo area), in append order.
    std::vector<int64_t> recordEnds;
};

// Two tables, a few records with memos, a delete and a moved memo.
Sample BuildSample(const TempDir& dir, bool withOtherTable) {
    const std::string path = dir.File("sample.dat");
    EXPECT_TRUE(test::CreateProgramDatabase(path));
    Sample s;
    TStoreFileIO io;
    io.Open(path);
    io.SetSyncedAppends(false);
    EXPECT_TRUE(io.CheckPassword(test::kPassword));
    EXPECT_TRUE(io.CreateTable("P", test::ProfileFields()));
    if (withOtherTable) {
        EXPECT_TRUE(io.CreateTable(
            "O", {MakeFieldItem("Name", ftString, 20), MakeFieldItem("Value", ftString, 100)}));
        TStoreTableIO o(io, "O");
        o.Open();
        for (const char* name : {"DblClickAction", "AfterIPInfo"}) {
            TFieldBuffers v(2);
            v.SetText(0, name);
            v.SetText(1, "1");
            o.AppendRecord(v);
        }
    }
    TStoreTableIO p(io, "P");
    p.Open();
    for (int i = 0; i < 6; ++i) {
        test::AppendProfileRow(p, "profile " + std::to_string(i), i, Memo(i));
        s.recordEnds.push_back(io.ImageSize());
    }
    if (withOtherTable) {
        p.DeleteRecord(2);
        TMemoryStream memo;
        const std::string m = Memo(20);
        memo.LoadFromBuffer(m.data(), m.size());
        TFieldBuffers v(4);
        v.SetBlob(3, &memo);
        p.ModifyRecord(0, v);
    }
    io.Close();
    s.bytes = test::ReadFileBytes(path);
    return s;
}

TEST(DamagedFile, SampleReadsWhole) {
    TempDir dir;
    const Sample s = BuildSample(dir, true);
    const Outcome o = ReadImage(s.bytes);
    ASSERT_TRUE(o.ok) << o.error;
    EXPECT_EQ(o.summary.Tables, 2);
    EXPECT_EQ(o.summary.Records, 5 + 2);
    EXPECT_EQ(o.summary.BlobValues, 5);
}

TEST(DamagedFile, TruncatedAnywhere) {
    TempDir dir;
    const Sample s = BuildSample(dir, true);
    int opened = 0;
    for (size_t size = 0; size < s.bytes.size(); size += (size < 3900 ? 13 : 1)) {
        const std::vector<uint8_t> cut(s.bytes.begin(), s.bytes.begin() + static_cast<long>(size));
        const Outcome o = ReadImage(cut);
        if (size < 12) {
            EXPECT_NE(o.error.find("is an invalid database"), std::string::npos) << size;
        } else if (size < 3821) {
            EXPECT_NE(o.error.find("is damaged: it is shorter than its fixed part"),
                      std::string::npos)
                << size;
        } else if (o.ok) {
            ++opened;
            EXPECT_LE(o.summary.Records, 7) << size;
        } else {
            EXPECT_NE(o.error.find("is damaged"), std::string::npos) << size << ": " << o.error;
        }
    }
    EXPECT_GT(opened, 0);
}

// A tail cut short: every record before the cut reads back intact; the one cut short and
// those after it are absent and listed as damaged, since the header counts them.
TEST(DamagedFile, TruncatedTailDropsOnlyTheLastRecord) {
    TempDir dir;
    const Sample s = BuildSample(dir, false);
    for (size_t k = 1; k < s.recordEnds.size(); ++k) {
        for (int64_t size = s.recordEnds[k - 1]; size < s.recordEnds[k]; size += 5) {
            std::vector<uint8_t> cut(s.bytes.begin(), s.bytes.begin() + size);
            TMemoryStream image(cut);
            TStoreFileIO io;
            const std::string name = TMemoryMedium::Register(&image);
            io.Open(name, mtMemory);
            ASSERT_TRUE(io.CheckPassword(test::kPassword));
            TStoreTableIO p(io, "P");
            p.Open();
            // The record being cut is there only when its data made it whole (its area's
            // filler may be missing).
            const size_t visible = p.PhysicalOrder().size();
            ASSERT_TRUE(visible == k || visible == k + 1) << size;
            EXPECT_EQ(p.DamagedRecords().size(), s.recordEnds.size() - visible) << size;
            std::vector<uint8_t> rec(79);
            for (size_t i = 0; i < visible; ++i) {
                p.ReadRecord(static_cast<int32_t>(i), rec.data());
                EXPECT_EQ(TStoreTableIO::TextOf(rec.data() + 4, 51),
                          "profile " + std::to_string(i));
                const auto blob = p.BlobStream(rec.data(), 3);
                const auto& memo = blob->Value();
                EXPECT_EQ(std::string(memo.begin(), memo.end()), Memo(static_cast<int>(i)));
            }
            TMemoryMedium::Unregister(&image);
        }
    }
}

// Opening a table judges its records from large pieces of the file; records that cross a
// piece's end, and a cut anywhere, are judged as one read per record would.
TEST(DamagedFile, ManyRecordsAreJudgedAlikeAcrossReadPieces) {
    TempDir dir;
    const std::string path = dir.File("many.dat");
    ASSERT_TRUE(test::CreateProgramDatabase(path));
    std::vector<int64_t> ends;
    {
        TStoreFileIO io;
        io.Open(path);
        io.SetSyncedAppends(false);
        ASSERT_TRUE(io.CheckPassword(test::kPassword));
        ASSERT_TRUE(io.CreateTable("P", test::ProfileFields()));
        TStoreTableIO p(io, "P");
        p.Open();
        std::minstd_rand letters(7);
        for (int i = 0; i < 300; ++i) {
            // Letters at random, so the compressed memo keeps most of its size.
            std::string memo(800, ' ');
            for (char& c : memo) {
                c = static_cast<char>('a' + letters() % 26);
            }
            test::AppendProfileRow(p, "profile " + std::to_string(i), i, memo);
            ends.push_back(io.ImageSize());
        }
        io.Close();
    }
    const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    ASSERT_GT(ends.back() - ends.front(), 2 * 64 * 1024);
    for (int64_t size = ends.front(); size <= ends.back(); size += 7919) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + size);
        TMemoryStream image(cut);
        const std::string name = TMemoryMedium::Register(&image);
        TStoreFileIO io;
        io.Open(name, mtMemory);
        ASSERT_TRUE(io.CheckPassword(test::kPassword));
        TStoreTableIO p(io, "P");
        p.Open();
        const auto whole =
            static_cast<size_t>(std::upper_bound(ends.begin(), ends.end(), size) - ends.begin());
        const size_t visible = p.PhysicalOrder().size();
        EXPECT_TRUE(visible == whole || visible == whole + 1) << size;
        EXPECT_EQ(p.DamagedRecords().size(), ends.size() - visible) << size;
        std::vector<uint8_t> rec(79);
        for (size_t i = 0; i < visible; i += 37) {
            p.ReadRecord(static_cast<int32_t>(i), rec.data());
            EXPECT_EQ(TStoreTableIO::TextOf(rec.data() + 4, 51), "profile " + std::to_string(i));
        }
        TMemoryMedium::Unregister(&image);
    }
}

// The bytes the reader interprets: the ext header's settings and digest, the directory
// entries in use, the used parts of each table header and of each record-tab block.
std::vector<std::pair<int64_t, int64_t>> InterpretedRanges(std::vector<uint8_t> bytes) {
    std::vector<std::pair<int64_t, int64_t>> ranges{{2317, 2317 + 71}, {2317 + 327, 2317 + 472}};
    TMemoryStream image(std::move(bytes));
    const std::string name = TMemoryMedium::Register(&image);
    TStoreFileIO io;
    io.Open(name, mtMemory);
    ranges.push_back({2789, 2789 + 8 + 4 * io.Directory().Count});
    for (const std::string& table : io.TableNames()) {
        TStoreTableIO t(io, table);
        t.Open();
        const int64_t h = t.HeaderOffset();
        ranges.push_back({h, h + 49 + 43 * t.FieldDefs().Count()});
        ranges.push_back({h + 4177, h + 4181 + 78 * t.IndexDefs().Count()});
        for (size_t b = 0; b < t.RecordTabBlocks().size(); ++b) {
            const int64_t entries = std::min<int64_t>(
                1024, static_cast<int64_t>(t.RecordTab().size()) - 1024 * static_cast<int64_t>(b));
            ranges.push_back({t.RecordTabBlocks()[b], t.RecordTabBlocks()[b] + 4 + 5 * entries});
        }
    }
    TMemoryMedium::Unregister(&image);
    return ranges;
}

TEST(DamagedFile, FlippedBytesInHeadersAndTabs) {
    TempDir dir;
    const Sample s = BuildSample(dir, true);
    std::mt19937 rng(12345);
    int errors = 0, reads = 0;
    for (const auto& [from, to] : InterpretedRanges(s.bytes)) {
        for (int64_t at = from; at < to; ++at) {
            for (uint8_t mask : {uint8_t{0xFF}, static_cast<uint8_t>(1u << (rng() % 8))}) {
                std::vector<uint8_t> damaged(s.bytes);
                damaged[static_cast<size_t>(at)] ^= mask;
                const Outcome o = ReadImage(damaged);
                o.ok ? ++reads : ++errors;
            }
        }
    }
    EXPECT_GT(errors, 0);
    EXPECT_GT(reads, 0);
}

// A record the header counts whose memo runs past the end of the file is not an
// interrupted append (the count is written last): it stays out of the orders and is
// reported, to the storage object and to cursors alike.
TEST(DamagedFile, CountedRecordCutShortIsReported) {
    TempDir dir;
    const std::string path = dir.File("cut.dat");
    ASSERT_TRUE(TStoreFileIO::CreateDatabaseFile(path, mtDisk, false, 0, "", false, "", "", false));
    {
        TStoreFileIO io;
        io.Open(path);
        ASSERT_TRUE(io.CreateTable(
            "T", {MakeFieldItem("Value", ftInteger, 0), MakeFieldItem("Text", ftMemo, 0)}));
        TStoreTableIO t(io, "T");
        t.Open();
        for (int i = 0; i < 2; ++i) {
            TMemoryStream memo;
            const std::string m = Memo(10 + i);
            memo.LoadFromBuffer(m.data(), m.size());
            TFieldBuffers v(2);
            v.SetInt32(0, i);
            v.SetBlob(1, &memo);
            t.AppendRecord(v);
        }
    }
    std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    bytes.resize(bytes.size() - 100);  // inside the second memo's image
    test::WriteFileBytes(path, bytes);

    TStoreFileIO io;
    io.Open(path);
    TStoreTableIO t(io, "T");
    t.Open();
    ASSERT_EQ(t.PhysicalOrder().size(), 1u);
    EXPECT_EQ(t.DamagedRecords(), std::vector<int32_t>{1});
    t.Close();

    TStoreTable cursor;
    cursor.SetDatabaseName(path);
    cursor.SetTableName("T");
    cursor.Open();
    EXPECT_EQ(cursor.RecordCount(), 1);
    EXPECT_EQ(cursor.DamagedRecordCount(), 1);
    cursor.Close();

    // Deleting the damaged record's neighbour changes nothing about it.
    TStoreFileIO again;
    again.Open(path);
    TStoreTableIO u(again, "T");
    u.Open();
    u.DeleteRecord(0);
    u.Reload();
    EXPECT_TRUE(u.PhysicalOrder().empty());
    EXPECT_EQ(u.DamagedRecords(), std::vector<int32_t>{1});
}

class DamageMessages : public ::testing::Test {
  protected:
    void SetUp() override { sample_ = BuildSample(dir_, false); }

    std::string ErrorWith(size_t at, int32_t value) {
        std::vector<uint8_t> b(sample_.bytes);
        EncodeFixed32(b.data() + at, value);
        const Outcome o = ReadImage(b);
        EXPECT_FALSE(o.ok);
        return o.error;
    }

    TempDir dir_;
    Sample sample_;
    const size_t header_ = 3821;
    const std::string prefix_ = "is damaged: ";
};

TEST_F(DamageMessages, SayWhatIsWrong) {
    EXPECT_NE(ErrorWith(2789, 257).find(
                  "its table directory is unusable (table count 257 is out of range)"),
              std::string::npos);
    EXPECT_NE(ErrorWith(2789 + 8, 100).find("header of table 0 lies outside the file"),
              std::string::npos);
    EXPECT_NE(ErrorWith(header_ + 37, 0x7FFFFFFF).find("exceeds the file"), std::string::npos);
    EXPECT_NE(ErrorWith(header_ + 45, 0).find("field count 0 is out of range"), std::string::npos);
    EXPECT_NE(ErrorWith(header_ + 33, 3000).find("first record block lies outside the file"),
              std::string::npos);
    const int32_t data0 = DecodeFixed32(sample_.bytes.data() + 3821 + 4821 + 4);
    const size_t slot0 = static_cast<size_t>(data0) + 59;
    EXPECT_NE(ErrorWith(slot0 + 4, -5).find("field 'Script' is unusable"), std::string::npos);
    EXPECT_NE(ErrorWith(slot0 + 8, 5).find("does not fit its area of 5 bytes"), std::string::npos);
    // A memo whose image no longer deciphers and inflates.
    std::vector<uint8_t> b(sample_.bytes);
    const int32_t memo = DecodeFixed32(b.data() + slot0);
    for (int i = 0; i < 8; ++i) {
        b[static_cast<size_t>(memo) + i] ^= 0x5A;
    }
    const Outcome o = ReadImage(b);
    EXPECT_NE(o.error.find("the value of field 'Script' cannot be decoded"), std::string::npos)
        << o.error;
}

TEST_F(DamageMessages, RecordTabInACircle) {
    // Room for two blocks, but the first block names itself as the next.
    std::vector<uint8_t> b(sample_.bytes);
    b.resize(b.size() + 6000, 0);
    const int32_t first = DecodeFixed32(b.data() + header_ + 33);
    EncodeFixed32(b.data() + header_ + 37, 2000);
    EncodeFixed32(b.data() + first, first);
    const Outcome o = ReadImage(b);
    EXPECT_NE(o.error.find("its record tab runs in a circle"), std::string::npos) << o.error;
    EncodeFixed32(b.data() + first, static_cast<int32_t>(b.size()) - 100);
    EXPECT_NE(ReadImage(b).error.find("its record tab leads outside the file"), std::string::npos);
}

}  // namespace
}  // namespace quorv::store
