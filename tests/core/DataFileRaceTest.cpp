// Races between programs on one data folder: run many rounds, each bounded in time.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "RunTogether.h"
#include "TempFolder.h"
#include "core/DataFile.h"
#include "core/OptionRecord.h"
#include "core/PrivateFile.h"
#include "core/ProfileRecord.h"
#include "store/StoreTable.h"

namespace quorv::app {
namespace {

using Clock = std::chrono::steady_clock;
using quorv::testing::ReadFile;
using quorv::testing::RunTogether;
using quorv::testing::TempFolder;

constexpr auto kTimeBudget = std::chrono::seconds(8);

// Keeps planting links to `victim` wherever a file of ours is being built: the name the
// pid gives away, and every ".new-" name that shows up in the folder.
class LinkPlanter {
  public:
    LinkPlanter(std::string folder, std::string path, std::string victim)
        : folder_(std::move(folder)), path_(std::move(path)), victim_(std::move(victim)) {
        thread_ = std::thread([this] { Run(); });
    }
    ~LinkPlanter() {
        stop_ = true;
        thread_.join();
    }

  private:
    void Plant(const std::string& name) {
        const std::string link = folder_ + ".plant";
        unlink(link.c_str());
        if (symlink(victim_.c_str(), link.c_str()) == 0) {
            rename(link.c_str(), name.c_str());
        }
    }
    void Run() {
        const std::string guessed = path_ + ".new-" + std::to_string(getpid());
        while (!stop_) {
            Plant(guessed);
            if (DIR* dir = opendir(folder_.c_str())) {
                while (const dirent* entry = readdir(dir)) {
                    if (std::string(entry->d_name).find(".new-") != std::string::npos &&
                        entry->d_type == DT_REG) {
                        Plant(folder_ + entry->d_name);
                    }
                }
                closedir(dir);
            }
        }
    }

    std::string folder_, path_, victim_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void ExpectPrivateRegularFile(const std::string& path) {
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0) << path;
    EXPECT_TRUE(S_ISREG(st.st_mode)) << path << " is not a regular file";
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

void RunPlantedLinkRounds(const std::function<void(const std::string&)>& create) {
    TempFolder tmp;
    const std::string victim = tmp / "victim";
    std::ofstream(victim) << "root's own file";
    const std::string path = tmp / kDataFileName;
    LinkPlanter planter(tmp.path(), path, victim);
    const auto end = Clock::now() + kTimeBudget;
    int rounds = 0;
    for (; rounds < 300 && Clock::now() < end; ++rounds) {
        unlink(path.c_str());
        try {
            create(path);
        } catch (const std::exception&) {
            // Refusing to finish under attack is fine; writing through the link is not.
        }
        ASSERT_EQ(ReadFile(victim), "root's own file")
            << "written through a link in round " << rounds;
        if (access(path.c_str(), F_OK) == 0) {
            ExpectPrivateRegularFile(path);
        }
    }
    EXPECT_GT(rounds, 20);
}

TEST(DataFileRace, NewDataFileNeverWritesThroughAPlantedLink) {
    RunPlantedLinkRounds([](const std::string& path) { CreateDataFile(path); });
}

TEST(DataFileRace, RandomNameWayNeverInstallsAPlantedLink) {
    const std::vector<uint8_t> bytes(70000, 0x5a);
    RunPlantedLinkRounds(
        [&](const std::string& path) { InstallPrivateFileByRandomName(path, bytes); });
}

TEST(DataFileRace, SameNameAddedAtOnceIsAddedOnce) {
    TempFolder tmp;
    const std::string path = tmp / kDataFileName;
    {
        store::TStoreTable profiles, options;
        ASSERT_TRUE(OpenDataFile(path, profiles, options).Ok());
    }
    const auto end = Clock::now() + kTimeBudget;
    int rounds = 0;
    for (; rounds < 25 && Clock::now() < end; ++rounds) {
        apply::Profile profile;
        profile.Name = "Office " + std::to_string(rounds);
        profile.Interface = "eth0";
        profile.IP = "DHCP";
        const std::vector<int> codes = RunTogether(3, [&](int) {
            store::TStoreTable profiles, options;
            if (!OpenDataFile(path, profiles, options).Ok()) {
                return 3;
            }
            return AddProfile(profiles, profile) ? 0 : 1;
        });
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 0), 1) << "round " << rounds;
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 1), 2) << "round " << rounds;
    }
    store::TStoreTable profiles, options;
    ASSERT_TRUE(OpenDataFile(path, profiles, options).Ok());
    EXPECT_EQ(profiles.RecordCount(), rounds);
}

TEST(DataFileRace, FirstStartsAtOnceAddTheOptionRowsOnce) {
    TempFolder tmp;
    const auto end = Clock::now() + kTimeBudget;
    int rounds = 0;
    for (; rounds < 25 && Clock::now() < end; ++rounds) {
        const std::string path = tmp / ("round" + std::to_string(rounds) + ".dat");
        const std::vector<int> codes = RunTogether(3, [&](int) {
            store::TStoreTable profiles, options;
            return OpenDataFile(path, profiles, options).Ok() ? 0 : 1;
        });
        EXPECT_EQ(codes, std::vector<int>(3, 0)) << "round " << rounds;
        store::TStoreTable profiles, options;
        ASSERT_TRUE(OpenDataFile(path, profiles, options).Ok());
        EXPECT_EQ(options.RecordCount(), 3) << "round " << rounds;
        ExpectPrivateRegularFile(path);
    }
}

}  // namespace
}  // namespace quorv::app
