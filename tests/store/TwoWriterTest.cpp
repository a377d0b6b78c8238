#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "StoreTestUtil.h"
#include "store/StoreDatabase.h"
#include "store/StoreIndexes.h"
#include "store/StoreSession.h"
#include "store/StoreTable.h"

namespace quorv::store {
namespace {

// Appends `count` profiles named prefix-i once `start` opens; the exit status tells the
// parent how it went.
[[noreturn]] void Writer(const std::string& path, const std::string& prefix, int count, int start) {
    int status = 0;
    try {
        char go;
        (void)::read(start, &go, 1);
        TStoreSession::Default().SetLockRetryCount(0);  // wait as long as it takes,
        TStoreSession::Default().SetLockWaitTime(1);    // in short steps
        TStoreTable t;
        t.SetDatabaseName(path);
        t.SetTableName("tblIPList");
        t.SetPassword(test::kPassword);
        t.Open();
        t.Database()->FileIO().SetSyncedAppends(false);
        for (int i = 0; i < count; ++i) {
            t.Insert();
            t.FieldByName("Name").SetAsString(prefix + std::to_string(i));
            t.FieldByName("Icon").SetAsInteger(i);
            t.Post();
            if (i % 5 == 4) {
                ::usleep(500);  // lets the other writer in between
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "writer %s: %s\n", prefix.c_str(), e.what());
        status = 1;
    }
    std::fflush(nullptr);
    ::_exit(status);
}

TEST(TwoProcesses, AppendsToOneTableLoseNothing) {
    test::TempDir dir;
    const std::string path = dir.File("shared.dat");
    {
        TStoreDatabase db;
        ASSERT_TRUE(test::CreateProgramDatabase(path));
        db.SetDatabaseName(path);
        db.SetPassword(test::kPassword);
        ASSERT_TRUE(db.CreateTable("tblIPList", test::ProfileFields()));
        ASSERT_TRUE(db.CreateIndex("tblIPList", "idxName", 0, {"Name"}));
    }
    constexpr int kEach = 500;
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<pid_t> children;
    for (const char* prefix : {"a-", "b-"}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(start[1]);
            Writer(path, prefix, kEach, start[0]);
        }
        children.push_back(pid);
    }
    ::close(start[0]);
    ::close(start[1]);  // both start together
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    TStoreTable t;
    t.SetDatabaseName(path);
    t.SetTableName("tblIPList");
    t.SetPassword(test::kPassword);
    t.Open();
    ASSERT_EQ(t.RecordCount(), 2 * kEach);
    std::set<int32_t> nums;
    std::set<std::string> names;
    int switches = 0;  // the writers really took turns
    char last = 0;
    for (t.First(); !t.Eof(); t.Next()) {
        nums.insert(t.FieldByName("Num").AsInteger());
        const std::string name = t.FieldByName("Name").AsString();
        names.insert(name);
        switches += last != 0 && name[0] != last;
        last = name[0];
    }
    EXPECT_GT(switches, 10);
    EXPECT_EQ(nums.size(), 2u * kEach);
    EXPECT_EQ(*nums.rbegin(), 2 * kEach);
    EXPECT_EQ(names.size(), 2u * kEach);
    for (const char* name : {"a-0", "a-499", "b-0", "b-250"}) {
        EXPECT_TRUE(t.FindKey("idxName", {name})) << name;
    }
    TStoreIndexes& indexes = t.Database()->IndexesOf(*t.Database()->FindTableIO("tblIPList"));
    EXPECT_EQ(indexes.Order(1).size(), 2u * kEach);
    EXPECT_EQ(indexes.Verify(), std::vector<std::string>{});
}

}  // namespace
}  // namespace quorv::store
