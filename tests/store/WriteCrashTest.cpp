#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>

#include "StoreTestUtil.h"
#include "store/Coding.h"
#include "store/StoreCheck.h"
#include "store/StoreIndexes.h"

namespace quorv::store {
namespace {

using test::TempDir;

struct Version {
    std::string Name;
    int32_t Icon = 0;
    std::string Script;
    bool operator==(const Version&) const = default;
};

// Text that compresses poorly, so that memo images keep about their length.
std::string ScriptFor(int32_t seed, size_t length) {
    std::string s(length, '\0');
    for (size_t k = 0; k < length; ++k) {
        s[k] = static_cast<char>(33 + (k * 7919 + static_cast<size_t>(seed) * 31 + k / 7) % 90);
    }
    return s;
}

// Keeps the memo stream alive as long as the values that point to it.
struct Values {
    TMemoryStream Memo;
    TFieldBuffers Buffers{4};

    explicit Values(const Version& v) {
        Memo.LoadFromBuffer(v.Script.data(), v.Script.size());
        Buffers.SetText(1, v.Name);
        Buffers.SetInt32(2, v.Icon);
        Buffers.SetBlob(3, &Memo);
    }
};

const std::vector<Version>& BaseRecords() {
    static const std::vector<Version> records = {
        {"delta", 1, ScriptFor(1, 200)}, {"bravo", 2, ""},
        {"echo", 3, ScriptFor(3, 100)},  {"charlie", 4, ScriptFor(4, 3000)},
        {"golf", 5, ScriptFor(5, 40)},   {"foxtrot", 6, ScriptFor(6, 900)},
    };
    return records;
}

// One writing operation on the base file: the record it touches and the version it writes
// (none for a delete).
struct Operation {
    const char* Name;
    int32_t RecNo;
    std::optional<Version> After;
};

const std::vector<Operation>& Operations() {
    static const std::vector<Operation> ops = {
        {"add", 6, Version{"alpha", 7, ScriptFor(7, 700)}},
        // The same memo length, a new icon: the value fits the area it has.
        {"modify in place", 2, Version{"echo", 33, ScriptFor(33, 100)}},
        // A memo that grows past its area and a name that moves to the head of the index.
        {"modify grow and move", 3, Version{"able", 4, ScriptFor(44, 5000)}},
        // Only the name: the memo is written again unchanged.
        {"modify name", 5, Version{"hotel", 6, ScriptFor(6, 900)}},
        {"delete", 1, std::nullopt},
    };
    return ops;
}

void Perform(TStoreTableIO& table, const Operation& op) {
    if (op.RecNo >= static_cast<int32_t>(BaseRecords().size())) {
        Values v(*op.After);
        table.AppendRecord(v.Buffers);
    } else if (op.After) {
        Values v(*op.After);
        table.ModifyRecord(table.PositionOf(op.RecNo), v.Buffers);
    } else {
        table.DeleteRecord(table.PositionOf(op.RecNo));
    }
}

// Opens the file with a hook on every write and every sync; a stop of 0 never stops.
struct Writer {
    TStoreFileIO Io;
    int Events = 0;

    Writer(const std::string& path, int stopAt) {
        Io.Open(path);
        auto event = [this, stopAt] {
            if (++Events == stopAt) {
                ::kill(::getpid(), SIGKILL);
            }
        };
        Io.SetBeforeWriteHook([event](int64_t, int64_t) { event(); });
        Io.SetBeforeSyncHook(event);
        EXPECT_TRUE(Io.CheckPassword(test::kPassword));
    }
};

std::vector<uint8_t> BuildBase(const TempDir& dir) {
    const std::string path = dir.File("base.dat");
    EXPECT_TRUE(test::CreateProgramDatabase(path));
    {
        TStoreFileIO io;
        io.Open(path);
        EXPECT_TRUE(io.CheckPassword(test::kPassword));
        EXPECT_TRUE(io.CreateTable("P", test::ProfileFields()));
        EXPECT_TRUE(CreateIndex(io, "P", "idxName", 0, {"Name"}));
        TStoreTableIO table(io, "P");
        TStoreIndexes indexes(table);
        table.Open();
        for (const Version& v : BaseRecords()) {
            Values values(v);
            table.AppendRecord(values.Buffers);
        }
    }
    return test::ReadFileBytes(path);
}

Version ReadVersion(TStoreTableIO& table, int32_t recNo) {
    std::vector<uint8_t> rec(static_cast<size_t>(table.RecordSize()));
    table.ReadRecord(recNo, rec.data());
    Version v;
    v.Name = TStoreTableIO::TextOf(rec.data() + 4, 51);
    v.Icon = DecodeFixed32(rec.data() + 55);
    const auto blob = table.BlobStream(rec.data(), 3);
    const auto& memo = blob->Value();
    v.Script.assign(memo.begin(), memo.end());
    return v;
}

// Every record is whole, the touched one in its old or its new version, and every order
// holds the live records once each, in key order.
void ExpectOldOrNew(const std::string& path, const Operation& op) {
    TStoreFileIO io;
    io.Open(path);
    ASSERT_TRUE(io.CheckPassword(test::kPassword));
    TStoreTableIO table(io, "P");
    TStoreIndexes indexes(table);
    table.Open();
    EXPECT_EQ(table.DamagedRecords(), std::vector<int32_t>{});
    const auto base = static_cast<int32_t>(BaseRecords().size());
    for (int32_t n = 0; n <= base; ++n) {
        std::vector<Version> allowed;
        if (n < base) {
            allowed.push_back(BaseRecords()[static_cast<size_t>(n)]);
        }
        if (n == op.RecNo && op.After) {
            allowed.push_back(*op.After);
        }
        if (!table.IsLive(n)) {
            EXPECT_TRUE((n == op.RecNo && (!op.After || n == base)) || allowed.empty())
                << "record " << n << " lost";
            continue;
        }
        ASSERT_FALSE(allowed.empty()) << "record " << n << " appeared";
        const Version v = ReadVersion(table, n);
        EXPECT_TRUE(std::find(allowed.begin(), allowed.end(), v) != allowed.end())
            << "record " << n << " reads as a mix: " << v.Name << " " << v.Icon << " "
            << v.Script.size();
    }
    for (int32_t i = 0; i < indexes.Count(); ++i) {
        const TRecordList& list = indexes.Order(i);
        ASSERT_EQ(list.size(), table.PhysicalOrder().size()) << indexes.Def(i).Name;
        for (size_t k = 1; k < list.size(); ++k) {
            const TKeyValues key = indexes.ReadKey(i, list[k - 1]);
            EXPECT_LE(indexes.CompareKey(i, key, list[k], 8), 0) << indexes.Def(i).Name;
        }
    }
}

// What a later writer does to a file an interrupted one left: each kind of write must leave
// it consistent.
const std::vector<std::pair<const char*, std::function<void(TStoreTableIO&)>>>& FollowUps() {
    static const std::vector<std::pair<const char*, std::function<void(TStoreTableIO&)>>> ops = {
        {"add",
         [](TStoreTableIO& t) {
             Values v(Version{"zulu", 9, "later"});
             t.AppendRecord(v.Buffers);
         }},
        {"modify",
         [](TStoreTableIO& t) {
             Values v(Version{"yankee", 8, "changed"});
             t.ModifyRecord(0, v.Buffers);
         }},
        {"delete", [](TStoreTableIO& t) { t.DeleteRecord(t.PositionOf(4)); }},
    };
    return ops;
}

void ExpectEveryWriteRepairs(const TempDir& dir, const std::vector<uint8_t>& crashed) {
    const std::string path = dir.File("follow.dat");
    for (const auto& [name, write] : FollowUps()) {
        test::WriteFileBytes(path, crashed);
        {
            Writer w(path, 0);
            TStoreTableIO table(w.Io, "P");
            TStoreIndexes indexes(table);
            table.Open();
            write(table);
        }
        TStoreFileIO io;
        io.Open(path, mtDisk, 0, true);
        ASSERT_TRUE(io.CheckPassword(test::kPassword));
        const std::vector<std::string> problems = CheckDatabase(io);
        EXPECT_TRUE(problems.empty()) << "after a clean " << name << ": " << problems.front();
    }
}

TEST(WriteCrashSafety, KilledAtEachWriteAndSyncOfAddModifyAndDelete) {
    TempDir dir;
    const std::vector<uint8_t> base = BuildBase(dir);
    const std::string path = dir.File("crash.dat");
    for (const Operation& op : Operations()) {
        SCOPED_TRACE(op.Name);
        test::WriteFileBytes(path, base);
        int events = 0;
        {
            Writer w(path, 0);
            TStoreTableIO table(w.Io, "P");
            TStoreIndexes indexes(table);
            table.Open();
            Perform(table, op);
            events = w.Events;
        }
        ASSERT_GE(events, 1);
        ExpectOldOrNew(path, op);
        for (int stopAt = 1; stopAt <= events; ++stopAt) {
            SCOPED_TRACE("stopped at event " + std::to_string(stopAt));
            test::WriteFileBytes(path, base);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                try {
                    Writer w(path, stopAt);
                    TStoreTableIO table(w.Io, "P");
                    TStoreIndexes indexes(table);
                    table.Open();
                    Perform(table, op);
                } catch (...) {
                    ::_exit(2);
                }
                ::_exit(0);
            }
            int status = 0;
            ::waitpid(child, &status, 0);
            ASSERT_TRUE(WIFSIGNALED(status)) << "writer ran to the end, status " << status;
            ASSERT_NO_FATAL_FAILURE(ExpectOldOrNew(path, op));
            ASSERT_NO_FATAL_FAILURE(ExpectEveryWriteRepairs(dir, test::ReadFileBytes(path)));
        }
    }
}

}  // namespace
}  // namespace quorv::store
