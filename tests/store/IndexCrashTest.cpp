#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "IndexedTable.h"
#include "StoreTestUtil.h"
#include "store/KeyCompare.h"
#include "store/StoreIndexes.h"

namespace quorv::store {
namespace {

// Appends, renames and deletes through the index layer until it kills itself just before
// its stopAtWrite-th write to the file.
[[noreturn]] void RunWriter(const std::string& path, int stopAtWrite, unsigned seed) {
    try {
        TStoreFileIO io;
        io.Open(path);
        io.SetBeforeWriteHook([stopAtWrite, writes = 0](int64_t, int64_t) mutable {
            if (++writes == stopAtWrite) {
                ::kill(::getpid(), SIGKILL);
            }
        });
        io.SetSyncedAppends(false);
        io.CheckPassword(test::kPassword);
        TStoreTableIO table(io, "P");
        TStoreIndexes indexes(table);
        table.Open();
        std::mt19937 rng(seed);
        for (;;) {
            TFieldBuffers v(4);
            v.SetText(1, "n" + std::to_string(rng() % 50));
            const size_t live = table.PhysicalOrder().size();
            const unsigned op = rng() % 4;
            if (live < 3 || op < 2) {
                table.AppendRecord(v);
            } else if (op == 2) {
                table.ModifyRecord(static_cast<int32_t>(rng() % live), v);
            } else {
                table.DeleteRecord(static_cast<int32_t>(rng() % live));
            }
        }
    } catch (...) {
        ::_exit(2);
    }
}

// Every live record is in every order exactly once, and in key order.
void CheckOrders(TStoreIndexes& indexes) {
    TStoreTableIO& table = indexes.Table();
    for (int32_t i = 0; i < indexes.Count(); ++i) {
        const TRecordList& list = indexes.Order(i);
        ASSERT_EQ(list.size(), table.PhysicalOrder().size()) << indexes.Def(i).Name;
        std::vector<int32_t> seen;
        for (size_t k = 0; k < list.size(); ++k) {
            seen.push_back(list[k].RecNo);
            if (k > 0) {
                const TKeyValues key = indexes.ReadKey(i, list[k - 1]);
                ASSERT_LE(indexes.CompareKey(i, key, list[k], 8), 0) << indexes.Def(i).Name;
            }
        }
        std::sort(seen.begin(), seen.end());
        ASSERT_TRUE(std::adjacent_find(seen.begin(), seen.end()) == seen.end());
    }
}

TEST(IndexCrashSafety, WriterKilledAtRandomWrites) {
    test::TempDir dir;
    const std::string path = dir.File("crash.dat");
    ASSERT_TRUE(test::CreateProgramDatabase(path));
    {
        TStoreFileIO io;
        io.Open(path);
        ASSERT_TRUE(io.CreateTable("P", test::ProfileFields()));
        ASSERT_TRUE(CreateIndex(io, "P", "idxName", 0, {"Name"}));
        ASSERT_TRUE(CreateIndex(io, "P", "idxDesc", tiDescending, {"Name", "Icon"}));
    }
    std::mt19937 rng(77);
    for (int round = 0; round < 40; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RunWriter(path, 1 + static_cast<int>(rng() % 200), static_cast<unsigned>(round));
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer stopped by itself, status " << status;

        test::IndexedTable opened(path, "P");
        auto& [io, table, indexes] = opened;
        ASSERT_NO_FATAL_FAILURE(CheckOrders(indexes)) << "round " << round;
    }
    // One clean write repairs whatever lists an interrupted write left behind.
    test::IndexedTable opened(path, "P");
    auto& [io, table, indexes] = opened;
    TFieldBuffers v(4);
    v.SetText(1, "last");
    table.AppendRecord(v);
    EXPECT_EQ(indexes.Verify(), std::vector<std::string>{});
    ASSERT_NO_FATAL_FAILURE(CheckOrders(indexes));
}

}  // namespace
}  // namespace quorv::store
