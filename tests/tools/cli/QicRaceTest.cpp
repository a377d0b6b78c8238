// qic commands that take a name racing from several programs on one data file: run many
// rounds, each bounded in time.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>

#include "RunTogether.h"
#include "TempFolder.h"
#include "cli/EditCommands.h"
#include "cli/ExchangeCommands.h"
#include "core/DataFile.h"
#include "core/ProfileExchange.h"
#include "core/ProfileRecord.h"
#include "store/StoreTable.h"
#include "system/Process.h"

namespace quorv::cli {
namespace {

using Clock = std::chrono::steady_clock;
using quorv::testing::RunTogether;
using quorv::testing::TempFolder;

constexpr auto kTimeBudget = std::chrono::seconds(6);
constexpr int kRacers = 3;

apply::Profile Named(const std::string& name) {
    apply::Profile p;
    p.Name = name;
    p.Interface = "eth0";
    p.IP = "DHCP";
    return p;
}

class QicRace : public ::testing::Test {
  protected:
    QicRace() {
        store::TStoreTable profiles, options;
        EXPECT_TRUE(app::OpenDataFile(path_, profiles, options).Ok());
    }

    // Opens the data file as qic does and runs `command` on its profiles.
    int InChild(const std::function<int(store::TStoreTable&)>& command) const {
        store::TStoreTable profiles, options;
        if (!app::OpenDataFile(path_, profiles, options).Ok()) {
            return 3;
        }
        return command(profiles);
    }

    void Add(const std::string& name) const {
        store::TStoreTable profiles, options;
        ASSERT_TRUE(app::OpenDataFile(path_, profiles, options).Ok());
        ASSERT_TRUE(app::AddProfile(profiles, Named(name)));
    }

    int Count(const std::string& name) const {
        store::TStoreTable profiles, options;
        EXPECT_TRUE(app::OpenDataFile(path_, profiles, options).Ok());
        int count = 0;
        for (profiles.First(); !profiles.Eof(); profiles.Next()) {
            count += profiles.FieldByName("Name").AsString() == name;
        }
        return count;
    }

    TempFolder tmp_;
    std::string path_ = tmp_ / app::kDataFileName;
};

TEST_F(QicRace, RenamesToOneNameAtOnceLeaveOneProfileOfThatName) {
    const auto end = Clock::now() + kTimeBudget;
    for (int round = 0; round < 25 && Clock::now() < end; ++round) {
        const std::string target = "Office " + std::to_string(round);
        for (int i = 0; i < kRacers; ++i) {
            Add("Old " + std::to_string(round) + "." + std::to_string(i));
        }
        const std::vector<int> codes = RunTogether(kRacers, [&](int i) {
            return InChild([&](store::TStoreTable& profiles) {
                Invocation inv;
                inv.name = "Old " + std::to_string(round) + "." + std::to_string(i);
                inv.newName = target;
                try {
                    return Rename(profiles, inv);
                } catch (const UsageError& e) {
                    return std::string(e.what()).find("exists already") != std::string::npos ? 1
                                                                                             : 4;
                }
            });
        });
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 0), 1) << "round " << round;
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 1), kRacers - 1) << "round " << round;
        ASSERT_EQ(Count(target), 1) << "round " << round;
    }
}

TEST_F(QicRace, ImportsOfOneNameAtOnceAddItOnce) {
    const auto end = Clock::now() + kTimeBudget;
    for (int round = 0; round < 25 && Clock::now() < end; ++round) {
        const std::string name = "Imported " + std::to_string(round);
        const std::string file = tmp_ / ("round" + std::to_string(round) + ".qic");
        {
            TempFolder source;
            store::TStoreTable profiles, options;
            ASSERT_TRUE(app::OpenDataFile(source / app::kDataFileName, profiles, options).Ok());
            ASSERT_TRUE(app::AddProfile(profiles, Named(name)));
            ASSERT_EQ(settings::ExportProfiles(profiles, QString::fromStdString(file)), 1);
        }
        // Each keeps what it finds; only a program that found nothing may add. Odd ones
        // import as the window does, where a person answers the question.
        const std::vector<int> codes = RunTogether(kRacers, [&](int i) {
            return InChild([&](store::TStoreTable& profiles) {
                std::ostringstream out;
                if (i % 2 == 0) {
                    Invocation inv;
                    inv.name = file;
                    inv.no = true;
                    Import(profiles, inv, TQuestioner{}, out);
                } else {
                    settings::ImportProfiles(
                        profiles, settings::ReadExchangeFile(QString::fromStdString(file)),
                        [](const std::string&) { return false; },
                        [&](const std::string& added, settings::TImportOutcome outcome) {
                            out << (outcome == settings::TImportOutcome::Added ? "added" : "kept")
                                << " \"" << added << "\"\n";
                        });
                }
                // qic's summary and attention lines follow the outcome's line.
                const std::string said = out.str();
                return said.rfind("added \"" + name + "\"\n", 0) == 0  ? 0
                       : said.rfind("kept \"" + name + "\"\n", 0) == 0 ? 1
                                                                       : 4;
            });
        });
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 0), 1) << "round " << round;
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 1), kRacers - 1) << "round " << round;
        ASSERT_EQ(Count(name), 1) << "round " << round;
    }
}

// While a person is asked the file stays free for other programs, and the answer is
// weighed against the table as it is after the question, not before.
TEST_F(QicRace, AQuestionHoldsNoLockAndTheNameIsLookedUpAgain) {
    Add("Taken");
    const std::string file = tmp_ / "taken.qic";
    {
        store::TStoreTable profiles, options;
        ASSERT_TRUE(app::OpenDataFile(path_, profiles, options).Ok());
        ASSERT_EQ(settings::ExportProfiles(profiles, QString::fromStdString(file)), 1);
    }
    store::TStoreTable profiles, options;
    ASSERT_TRUE(app::OpenDataFile(path_, profiles, options).Ok());
    platform::RunOutput deleter;
    std::vector<settings::TImportOutcome> outcomes;
    settings::ImportProfiles(
        profiles, settings::ReadExchangeFile(QString::fromStdString(file)),
        [&](const std::string&) {
            // Another program deletes the profile meanwhile; a held lock would make it wait
            // and give up. (A forked child would share this process's open file and lock.)
            deleter = platform::RunAndWaitCaptured(
                {std::string(QUORV_BIN_DIR) + "/qic", "--data", path_, "delete", "Taken"});
            return false;
        },
        [&](const std::string&, settings::TImportOutcome outcome) { outcomes.push_back(outcome); });
    EXPECT_EQ(deleter.exitCode, 0) << deleter.standardError;
    EXPECT_EQ(outcomes, std::vector<settings::TImportOutcome>{settings::TImportOutcome::Added});
    EXPECT_EQ(Count("Taken"), 1);
}

}  // namespace
}  // namespace quorv::cli
