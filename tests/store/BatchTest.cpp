#include <gtest/gtest.h>

#include "IndexedTable.h"
#include "StoreTestUtil.h"
#include "store/Coding.h"
#include "store/StoreBatch.h"
#include "store/StoreCheck.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

using test::AppendProfileRow;
using test::IndexedTable;
using test::TempDir;

std::string MakeFile(const TempDir& dir) {
    const std::string path = dir.File("batch.dat");
    EXPECT_TRUE(test::CreateProgramDatabase(path));
    TStoreFileIO io;
    io.Open(path);
    EXPECT_TRUE(io.CreateTable("P", test::ProfileFields()));
    EXPECT_TRUE(CreateIndex(io, "P", "idxName", 0, {"Name"}));
    return path;
}

std::vector<std::string> CheckOf(const std::string& path) {
    TStoreFileIO io;
    io.Open(path, mtDisk, 0, true);
    EXPECT_TRUE(io.CheckPassword(test::kPassword));
    return CheckDatabase(io);
}

// A batch of appends is one commit: invisible to another opener until then, and synced
// once before the count and flushed once, however many records it holds.
TEST(StoreBatch, AppendsBecomeVisibleTogetherWithOneSync) {
    TempDir dir;
    const std::string path = MakeFile(dir);
    IndexedTable writer(path, "P");
    AppendProfileRow(writer.table, "before", 11, "x");
    int syncs = 0;
    writer.io.SetBeforeSyncHook([&] { ++syncs; });
    {
        TStoreBatch batch(writer.table);
        for (int i = 0; i < 300; ++i) {
            EXPECT_EQ(AppendProfileRow(writer.table, "n" + std::to_string(299 - i), 12, "s"),
                      i + 1);
        }
        // The writer sees its records in every order; another opener does not yet.
        EXPECT_EQ(writer.table.PhysicalOrder().size(), 301u);
        EXPECT_EQ(writer.indexes.Order(0).size(), 301u);
        IndexedTable reader(path, "P");
        EXPECT_EQ(reader.table.PhysicalOrder().size(), 1u);
        batch.Commit();
        EXPECT_FALSE(batch.Open());
    }
    EXPECT_EQ(syncs, 1);
    IndexedTable reader(path, "P");
    EXPECT_EQ(reader.table.PhysicalOrder().size(), 301u);
    EXPECT_EQ(reader.indexes.Order(0).size(), 301u);
    const std::vector<std::string> problems = CheckOf(path);
    EXPECT_TRUE(problems.empty()) << problems.front();
}

// Leaving a batch without its commit leaves the table as it was; the next write mends the
// index links the abandoned records left, as after an interrupted append.
TEST(StoreBatch, AnAbandonedBatchLeavesNothingBehind) {
    TempDir dir;
    const std::string path = MakeFile(dir);
    IndexedTable writer(path, "P");
    AppendProfileRow(writer.table, "keep", 11, "x");
    {
        TStoreBatch batch(writer.table);
        AppendProfileRow(writer.table, "a", 12, "gone");
        AppendProfileRow(writer.table, "b", 12, "gone");
    }
    EXPECT_EQ(writer.table.PhysicalOrder().size(), 1u);
    {
        IndexedTable other(path, "P");
        EXPECT_EQ(other.table.PhysicalOrder().size(), 1u);
        AppendProfileRow(other.table, "c", 13, "later");
    }
    const std::vector<std::string> problems = CheckOf(path);
    EXPECT_TRUE(problems.empty()) << problems.front();
    IndexedTable reader(path, "P");
    EXPECT_EQ(reader.table.PhysicalOrder().size(), 2u);

    // Other writers wait while the batch holds the lock.
    TStoreBatch batch(writer.table);
    IndexedTable other(path, "P");
    other.io.SetLockRetryCount(1);
    other.io.SetLockWaitTime(1);
    EXPECT_THROW(AppendProfileRow(other.table, "d", 11, ""), EDatabaseError);
}

int32_t IconOf(TStoreTableIO& table, int32_t recNo) {
    std::vector<uint8_t> record(static_cast<size_t>(table.RecordSize()));
    table.ReadRecord(recNo, record.data());
    return DecodeFixed32(record.data() + table.FieldDefs()[2].Offset);
}

void Modify(TStoreTableIO& table, int32_t recNo, int32_t icon, const std::string& name = "") {
    TFieldBuffers v(4);
    v.SetInt32(2, icon);
    if (!name.empty()) {
        v.SetText(1, name);
    }
    table.ModifyRecord(table.PositionOf(recNo), v);
}

// Modifies that move no key wait for the commit like appends: no sync each, the old versions
// stay what others read until then, and an abandoned batch leaves them. One that moves a
// key is switched to at once, after the waiting ones.
TEST(StoreBatch, ModifiesSwitchToTheirNewVersionsAtTheCommit) {
    TempDir dir;
    const std::string path = MakeFile(dir);
    IndexedTable writer(path, "P");
    for (int i = 0; i < 50; ++i) {
        AppendProfileRow(writer.table, "r" + std::to_string(i), 1, "s");
    }
    int syncs = 0;
    writer.io.SetBeforeSyncHook([&] { ++syncs; });
    {
        TStoreBatch batch(writer.table);
        for (int i = 0; i < 50; ++i) {
            Modify(writer.table, i, 2);
        }
        Modify(writer.table, 7, 3);  // twice in one batch: the later one wins
        AppendProfileRow(writer.table, "added", 4, "new");
        EXPECT_EQ(syncs, 0);
        EXPECT_EQ(IconOf(writer.table, 7), 3);
        {
            IndexedTable reader(path, "P");
            for (int i = 0; i < 50; ++i) {
                ASSERT_EQ(IconOf(reader.table, i), 1) << i;
            }
            EXPECT_EQ(reader.table.PhysicalOrder().size(), 50u);
        }
        Modify(writer.table, 10, 5, "zz");
        batch.Commit();
    }
    EXPECT_LE(syncs, 3);
    {
        IndexedTable reader(path, "P");
        for (int i = 0; i < 50; ++i) {
            ASSERT_EQ(IconOf(reader.table, i), i == 7 ? 3 : i == 10 ? 5 : 2) << i;
        }
        ASSERT_EQ(reader.table.PhysicalOrder().size(), 51u);
        EXPECT_EQ(reader.indexes.Order(reader.indexes.IndexOf("idxName")).back().RecNo,
                  10);  // "zz" sorts last
    }
    {
        TStoreBatch batch(writer.table);
        Modify(writer.table, 3, 9);
        Modify(writer.table, 4, 9);
    }
    EXPECT_EQ(IconOf(writer.table, 3), 2);
    IndexedTable reader(path, "P");
    EXPECT_EQ(IconOf(reader.table, 3), 2);
    EXPECT_EQ(IconOf(reader.table, 4), 2);
    const std::vector<std::string> problems = CheckOf(path);
    EXPECT_TRUE(problems.empty()) << problems.front();
}

}  // namespace
}  // namespace quorv::store
