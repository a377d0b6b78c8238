#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <random>
#include <set>
#include <thread>

#include "ExchangeTestData.h"
#include "core/DataFile.h"
#include "core/ProfileExchange.h"
#include "core/ProfileRecord.h"
#include "store/StoreCheck.h"
#include "store/StoreDatabase.h"
#include "store/StoreFileIO.h"

namespace quorv::settings {
namespace {

using apply::Profile;
using quorv::testing::MakeProfile;
using quorv::testing::TempFolder;

constexpr int kImported = 5000;

// Profile i as round r of the import writes it; every value tells i and r apart.
Profile Version(int i, int r) {
    Profile p;
    p.Name = "imp " + std::to_string(i);
    p.SetAddresses({"10." + std::to_string(r) + "." + std::to_string(i / 200) + "." +
                    std::to_string(i % 200 + 1)},
                   {"255.255.0.0"});
    p.Gateway = "10." + std::to_string(r) + ".255.1";
    p.DNS1 = "1.1.1." + std::to_string(r + 1);
    p.Interface = "Local Area Connection";
    p.Icon = 11 + (i + r) % 3;
    p.Script = "echo " + std::to_string(i) + " round " + std::to_string(r) + "\r\n";
    return p;
}

std::vector<Profile> Kept() {
    std::vector<Profile> kept;
    for (int j = 0; j < 20; ++j) {
        kept.push_back(MakeProfile("keep " + std::to_string(j), "echo kept\r\n"));
    }
    return kept;
}

// The data file as the next program opens it.
struct Opened {
    store::TStoreTable profiles, options;
    explicit Opened(const std::string& path) {
        if (!app::OpenDataFile(path, profiles, options).Ok()) {
            throw std::runtime_error("cannot open " + path);
        }
    }
    std::vector<Profile> All() {
        std::vector<Profile> all;
        for (profiles.First(); !profiles.Eof(); profiles.Next()) {
            all.push_back(app::ReadProfile(profiles));
            all.back().Num = 0;
        }
        return all;
    }
};

// The child: imports the round's profiles, replacing, until it is done or killed (by the
// parent, or by itself before its stopAtWrite-th write to the file).
[[noreturn]] void RunImport(const std::string& path, const std::vector<Profile>& incoming,
                            int stopAtWrite) {
    try {
        store::TStoreTable profiles, options;
        if (!app::OpenDataFile(path, profiles, options).Ok()) {
            ::_exit(3);
        }
        if (stopAtWrite > 0) {
            profiles.Database()->FileIO().SetBeforeWriteHook(
                [stopAtWrite, writes = 0](int64_t, int64_t) mutable {
                    if (++writes == stopAtWrite) {
                        ::kill(::getpid(), SIGKILL);
                    }
                });
        }
        ImportProfilesWithoutAsking(profiles, incoming, true);
        ::_exit(0);
    } catch (...) {
        ::_exit(2);
    }
}

TEST(ImportCrashSafety, KilledDuringImportsOfFiveThousandProfiles) {
    TempFolder folder;
    const std::string path = folder / app::kDataFileName;
    {
        store::TStoreTable profiles, options;
        ASSERT_TRUE(app::OpenDataFile(path, profiles, options).Ok());
        for (const Profile& p : Kept()) {
            profiles.Insert();
            app::WriteProfile(profiles, p);
            profiles.Post();
        }
    }
    std::mt19937 rng(4242);
    std::set<int> present;
    int completed = 0;
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<Profile> incoming;
        for (int i = 0; i < kImported; ++i) {
            incoming.push_back(Version(i, round));
        }
        // Even rounds stop the importer at a random write, odd ones at a random time.
        const int stopAtWrite = round % 2 == 0 ? 1 + static_cast<int>(rng() % 40000) : 0;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RunImport(path, incoming, stopAtWrite);
        }
        if (stopAtWrite == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20 + rng() % 1500));
            ::kill(child, SIGKILL);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0))
            << "importer failed, status " << status;
        const bool finished = WIFEXITED(status);
        completed += finished ? 1 : 0;

        // Every profile stored before is there whole; each imported one is some round's
        // version, whole, or absent; none that was there before is gone.
        auto data = std::make_unique<Opened>(path);
        std::set<int> now;
        size_t kept = 0;
        const std::vector<Profile> keptBefore = Kept();
        for (const Profile& p : data->All()) {
            if (p.Name.rfind("after ", 0) == 0) {
                continue;
            }
            if (p.Name.rfind("keep ", 0) == 0) {
                EXPECT_EQ(p, keptBefore.at(static_cast<size_t>(std::stoi(p.Name.substr(5)))));
                ++kept;
                continue;
            }
            ASSERT_EQ(p.Name.rfind("imp ", 0), 0u) << p.Name;
            const int i = std::stoi(p.Name.substr(4));
            const size_t at = p.Script.find(" round ");
            ASSERT_NE(at, std::string::npos) << p.Script;
            const int r = std::stoi(p.Script.substr(at + 7));
            ASSERT_LE(r, round);
            ASSERT_EQ(p, Version(i, r)) << "torn profile " << p.Name;
            ASSERT_TRUE(now.insert(i).second) << "twice: " << p.Name;
            if (finished) {
                ASSERT_EQ(r, round);
            }
        }
        EXPECT_EQ(kept, keptBefore.size());
        for (int i : present) {
            ASSERT_TRUE(now.count(i)) << "imp " << i << " lost";
        }
        if (finished) {
            EXPECT_EQ(now.size(), static_cast<size_t>(kImported));
        }
        present = now;

        // The next write mends what the kill left, and a fresh reader finds all sound.
        ASSERT_TRUE(app::AddProfile(data->profiles, MakeProfile("after " + std::to_string(round))));
        data.reset();
        store::TStoreFileIO io;
        io.Open(path, store::mtDisk, 0, true);
        ASSERT_TRUE(io.CheckPassword(app::kDataFilePassword));
        const std::vector<std::string> problems = store::CheckDatabase(io);
        EXPECT_TRUE(problems.empty()) << problems.front();
    }
    RecordProperty("completed", completed);
    RecordProperty("present", static_cast<int>(present.size()));
    EXPECT_GT(present.size(), 0u);  // the importer got real work done
}

}  // namespace
}  // namespace quorv::settings
