// The image size a file object keeps between system calls, and the keys the indexes take
// from an append's own values: both must agree with the file whoever else writes it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "IndexedTable.h"
#include "StoreTestUtil.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

using test::IndexedTable;
using test::TempDir;

class SizeTracking : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::CreateProgramDatabase(path_));
        TStoreFileIO io;
        io.Open(path_);
        ASSERT_TRUE(io.CheckPassword(test::kPassword));
        ASSERT_TRUE(io.CreateTable("T", test::ProfileFields()));
        ASSERT_TRUE(CreateIndex(io, "T", "idxName", 0, {"Name"}));
    }

    std::vector<std::string> NamesInIndexOrder() {
        IndexedTable fresh(path_, "T");
        std::vector<std::string> names;
        for (const TRecordItem& item : fresh.indexes.Order(0)) {
            names.push_back(fresh.indexes.FieldValue(1, item));
        }
        EXPECT_TRUE(fresh.indexes.Verify().empty());
        EXPECT_TRUE(fresh.table.DamagedRecords().empty());
        return names;
    }

    TempDir dir_;
    std::string path_ = dir_.File("db.dat");
};

TEST_F(SizeTracking, WritersTakingTurnsNeverOverwriteEachOther) {
    // Each append lands at the end another writer left: a size kept from the last lock
    // would put it on top of the other's record.
    IndexedTable a(path_, "T"), b(path_, "T");
    std::vector<std::string> expected;
    for (int i = 0; i < 6; ++i) {
        const std::string name = "row " + std::to_string(i);
        test::AppendProfileRow(i % 2 ? b.table : a.table, name, i, std::string(70 + i, 's'));
        expected.push_back(name);
    }
    EXPECT_EQ(NamesInIndexOrder(), expected);
    // And both writers' own orders name every record.
    EXPECT_EQ(a.indexes.Order(0).size(), 5u);
    test::AppendProfileRow(a.table, "row 6", 6, "");
    EXPECT_EQ(a.indexes.Order(0).size(), 7u);
}

TEST_F(SizeTracking, ReadsFollowAFileThatGrewAndNoticeOneCutShort) {
    IndexedTable reader(path_, "T"), writer(path_, "T");
    const int64_t before = reader.io.ImageSize();
    test::AppendProfileRow(writer.table, "grown", 1, std::string(500, 'x'));
    const int64_t after = writer.io.ImageSize();
    ASSERT_GT(after, before);
    // Beyond the size the reader saw last, but inside the file.
    std::vector<uint8_t> bytes(static_cast<size_t>(after - before));
    EXPECT_NO_THROW(reader.io.ReadAt(before, bytes.data(), after - before));

    ASSERT_EQ(::truncate(path_.c_str(), before), 0);
    try {
        reader.io.ReadAt(before, bytes.data(), after - before);
        FAIL() << "read past the end";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("lie beyond its end"), std::string::npos) << e.what();
    }
}

TEST_F(SizeTracking, KeysOfNewRecordsAreTheStoredOnes) {
    // Names longer than the field are cut on the way in, never inside a character; the
    // index must order the cut text the file holds, as a fresh reader sees it.
    IndexedTable t(path_, "T");
    std::vector<std::string> names;
    for (int i = 0; i < 5; ++i) {
        std::string name = std::string(48 - i, 'a') + "\xc3\xa9\xc3\xa9" + std::to_string(4 - i);
        test::AppendProfileRow(t.table, name, i, "");
        names.push_back(name);
    }
    std::vector<std::string> mine;
    for (const TRecordItem& item : t.indexes.Order(0)) {
        mine.push_back(t.indexes.FieldValue(1, item));
    }
    const std::vector<std::string> stored = NamesInIndexOrder();
    EXPECT_EQ(mine, stored);
    for (const std::string& s : stored) {
        EXPECT_LE(s.size(), 50u);
    }
    EXPECT_TRUE(std::is_sorted(stored.begin(), stored.end()));
}

}  // namespace
}  // namespace quorv::store
