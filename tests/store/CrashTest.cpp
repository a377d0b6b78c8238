#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <set>
#include <thread>

#include "StoreTestUtil.h"
#include "store/Coding.h"
#include "store/StoreCheck.h"
#include "store/StoreTableIO.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

using test::TempDir;

// Every record's content follows from its record number, so a reader can tell an intact
// record from a damaged one.
std::string MemoFor(int32_t n) {
    std::string s(static_cast<size_t>((n * 677) % 4000), '\0');
    for (size_t k = 0; k < s.size(); ++k) {
        s[k] = static_cast<char>(32 + (k * 31 + static_cast<size_t>(n)) % 90);
    }
    return s;
}

// Messages from the writer: a record number appended (>= 0), about to be deleted
// (kDeleteStarting + number) or deleted (-1 - number). Record numbers stay below 2^30.
constexpr int32_t kDeleteStarting = INT32_MIN;

void Report(int fd, int32_t message) {
    uint8_t b[4];
    EncodeFixed32(b, message);
    [[maybe_unused]] const ssize_t n = ::write(fd, b, 4);
}

// The child: appends (and now and then deletes) until it is killed, or kills itself just
// before its stopAtWrite-th write to the file when that is not 0.
[[noreturn]] void RunWriter(const std::string& path, int reportFd, int stopAtWrite) {
    try {
        TStoreFileIO io;
        io.Open(path);
        if (stopAtWrite > 0) {
            io.SetBeforeWriteHook([stopAtWrite, writes = 0](int64_t, int64_t) mutable {
                if (++writes == stopAtWrite) {
                    ::kill(::getpid(), SIGKILL);
                }
            });
        }
        io.CheckPassword(test::kPassword);
        TStoreTableIO table(io, "P");
        table.Open();
        std::mt19937 rng(static_cast<unsigned>(::getpid()));
        for (;;) {
            const int32_t n = table.Header().RecordTabCount;
            if (test::AppendProfileRow(table, "rec " + std::to_string(n), n, MemoFor(n)) != n) {
                ::_exit(3);
            }
            Report(reportFd, n);
            if (rng() % 6 == 0 && table.PhysicalOrder().size() > 1) {
                const auto pos = static_cast<int32_t>(rng() % table.PhysicalOrder().size());
                const int32_t victim = table.PhysicalOrder()[static_cast<size_t>(pos)].RecNo;
                // Said before the delete too: a kill between the delete and its report
                // must not make the record count as a lost append.
                Report(reportFd, kDeleteStarting + victim);
                table.DeleteRecord(pos);
                Report(reportFd, -1 - victim);
            }
        }
    } catch (...) {
        ::_exit(2);
    }
}

TEST(CrashSafety, WriterKilledAtRandomMoments) {
    TempDir dir;
    const std::string path = dir.File("crash.dat");
    ASSERT_TRUE(test::CreateProgramDatabase(path));
    {
        TStoreFileIO io;
        io.Open(path);
        ASSERT_TRUE(io.CreateTable("P", test::ProfileFields()));
    }
    std::set<int32_t> appended, deleting, deleted;
    std::mt19937 rng(2024);
    int64_t maxRecords = 0;
    for (int round = 0; round < 30; ++round) {
        // Odd rounds stop the writer at a random time, even ones at a random write.
        const int stopAtWrite = round % 2 == 0 ? 1 + static_cast<int>(rng() % 60) : 0;
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            RunWriter(path, fds[1], stopAtWrite);
        }
        ::close(fds[1]);
        if (stopAtWrite == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(2000 + rng() % 40000));
            ::kill(child, SIGKILL);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer stopped by itself, status " << status;
        uint8_t b[4];
        while (::read(fds[0], b, 4) == 4) {
            const int32_t m = DecodeFixed32(b);
            if (m >= 0) {
                appended.insert(m);
            } else if (m < kDeleteStarting + (1 << 30)) {
                deleting.insert(m - kDeleteStarting);
            } else {
                deleted.insert(-1 - m);
            }
        }
        ::close(fds[0]);

        // Reopen and read everything; every completed append is there, intact.
        TStoreFileIO io;
        io.Open(path);
        ASSERT_TRUE(io.CheckPassword(test::kPassword));
        const TStoreCheckSummary summary = ReadWholeDatabase(io, test::kPassword);
        TStoreTableIO table(io, "P");
        table.Open();
        std::vector<uint8_t> rec(static_cast<size_t>(table.RecordSize()));
        for (const TRecordItem& item : table.PhysicalOrder()) {
            table.ReadRecord(item.RecNo, rec.data());
            ASSERT_EQ(DecodeFixed32(rec.data() + 55), item.RecNo);
            ASSERT_EQ(TStoreTableIO::TextOf(rec.data() + 4, 51),
                      "rec " + std::to_string(item.RecNo));
            const auto blob = table.BlobStream(rec.data(), 3);
            const auto& memo = blob->Value();
            ASSERT_EQ(std::string(memo.begin(), memo.end()), MemoFor(item.RecNo)) << item.RecNo;
        }
        for (int32_t n : appended) {
            if (!deleting.count(n)) {
                ASSERT_TRUE(table.IsLive(n))
                    << "completed append " << n << " lost in round " << round;
            }
        }
        for (int32_t n : deleted) {
            ASSERT_FALSE(table.IsLive(n)) << "completed delete " << n << " undone";
        }
        EXPECT_EQ(summary.Records, static_cast<int64_t>(table.PhysicalOrder().size()));
        maxRecords = std::max<int64_t>(maxRecords, table.Header().RecordTabCount);
    }
    EXPECT_GT(maxRecords, 30);  // the writer got real work done
    RecordProperty("records", static_cast<int>(maxRecords));
}

}  // namespace
}  // namespace quorv::store
