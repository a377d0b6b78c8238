#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "TempFolder.h"
#include "core/DataFile.h"
#include "core/OptionRecord.h"
#include "core/Options.h"
#include "core/ProfileRecord.h"
#include "store/StoreTable.h"

namespace quorv::app {
namespace {

using apply::Profile;
using store::TStoreTable;

std::vector<std::pair<std::string, std::string>> OptionRows(TStoreTable& options) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (options.First(); !options.Eof(); options.Next()) {
        rows.emplace_back(options.FieldByName("Name").AsString(),
                          options.FieldByName("Value").AsString());
    }
    return rows;
}

TEST(DataFile, CreatedWithTablesIndexesAndDefaultOptions) {
    quorv::testing::TempFolder tmp;
    const std::string path = tmp / kDataFileName;
    TStoreTable profiles, options;
    int listFills = 0;
    DataFileStatus status = OpenDataFile(path, profiles, options, [&] { ++listFills; });
    ASSERT_TRUE(status.Ok()) << status.profileError << status.optionError;
    EXPECT_TRUE(status.created);
    EXPECT_EQ(listFills, 1);
    EXPECT_EQ(profiles.RecordCount(), 0);

    ASSERT_EQ(profiles.FieldCount(), 11);
    EXPECT_EQ(profiles.Fields(10).FieldName(), "Script");
    EXPECT_EQ(profiles.FieldByName("Interface").Size(), 256);
    for (TStoreTable* table : {&profiles, &options}) {
        const auto indexes = table->IndexDefs();
        EXPECT_TRUE(std::any_of(indexes.begin(), indexes.end(), [](const auto& index) {
            return index.Name == "idxName" && index.Fields == "Name" && index.Options == 0;
        })) << table->TableName();
    }
    using Rows = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(OptionRows(options),
              (Rows{{"DblClickAction", "0"}, {"AfterIPInfo", "0"}, {"ShowScriptWindow", "1"}}));

    // A later start adds only what is missing and keeps what the user chose.
    WriteOption(options, "DblClickAction", "2");
    ASSERT_TRUE(ReadOption(options, "ShowScriptWindow"));
    options.Delete();
    profiles.Close();
    options.Close();
    status = OpenDataFile(path, profiles, options);
    ASSERT_TRUE(status.Ok());
    EXPECT_FALSE(status.created);
    EXPECT_EQ(OptionRows(options),
              (Rows{{"DblClickAction", "2"}, {"AfterIPInfo", "0"}, {"ShowScriptWindow", "1"}}));
    EXPECT_EQ(ReadOption(options, "Missing"), std::nullopt);
}

TEST(DataFile, ProfilesKeepEveryColumnCutToItsWidth) {
    quorv::testing::TempFolder tmp;
    const std::string path = tmp / kDataFileName;
    {
        TStoreTable profiles, options;
        ASSERT_TRUE(OpenDataFile(path, profiles, options).Ok());
        Profile p;
        p.Name = std::string(60, 'n');
        p.SetAddresses({"10.0.0.5", "10.0.0.6"}, {"255.255.255.0", "255.255.0.0"});
        p.Gateway = "10.0.0.1 and then some";
        p.DNS1 = "10.0.0.2";
        p.Interface = "Office LAN";
        p.Printer = "Printer";
        p.Icon = apply::kIconWireless;
        p.Script = std::string(5000, 's') + "\r\nipconfig /all";
        profiles.Insert();
        WriteProfile(profiles, p);
        profiles.Post();
        for (const char* name : {"ab", "Ab"}) {
            Profile q;
            q.Name = name;
            q.SetDhcp();
            profiles.Insert();
            WriteProfile(profiles, q);
            profiles.Post();
        }
    }
    TStoreTable profiles, options;
    ASSERT_TRUE(OpenDataFile(path, profiles, options).Ok());
    EXPECT_FALSE(FindProfile(profiles, std::string(60, 'n')));
    ASSERT_TRUE(FindProfile(profiles, std::string(50, 'n')));
    Profile p = ReadProfile(profiles);
    EXPECT_EQ(p.IP, "10.0.0.5,10.0.0.6");
    EXPECT_EQ(p.Mask, "255.255.255.0,255.255.0.0");
    EXPECT_EQ(p.Gateway, "10.0.0.1 and th");
    EXPECT_EQ(p.DNS1, "10.0.0.2");
    EXPECT_EQ(p.DNS2, "");
    EXPECT_EQ(p.Interface, "Office LAN");
    EXPECT_EQ(p.Printer, "Printer");
    EXPECT_EQ(p.Icon, 12);
    EXPECT_EQ(p.Script, std::string(5000, 's') + "\r\nipconfig /all");

    // Exact and case-sensitive, also where the collation sees no difference.
    ASSERT_TRUE(FindProfile(profiles, "Ab"));
    EXPECT_EQ(ReadProfile(profiles).Name, "Ab");
    EXPECT_FALSE(FindProfile(profiles, "AB"));
    EXPECT_FALSE(FindProfile(profiles,
                             "a\x01"
                             "b"));
}

TEST(DataFile, ProfileCutShortIsCountedAsDamaged) {
    quorv::testing::TempFolder tmp;
    const std::string path = tmp / kDataFileName;
    {
        TStoreTable profiles, options;
        ASSERT_TRUE(OpenDataFile(path, profiles, options).Ok());
        for (const char* name : {"home", "office"}) {
            Profile p;
            p.Name = name;
            p.SetDhcp();
            p.Interface = "eth0";
            // Text that does not compress well, so the memo's image is long.
            for (unsigned k = 0; k < 3000; ++k) {
                p.Script += static_cast<char>('a' + (k * 7919u + k / 3u) % 26u);
            }
            profiles.Insert();
            WriteProfile(profiles, p);
            profiles.Post();
        }
    }
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 100);
    TStoreTable profiles, options;
    const DataFileStatus status = OpenDataFile(path, profiles, options);
    ASSERT_TRUE(status.Ok()) << status.profileError << status.optionError;
    EXPECT_EQ(status.damagedProfiles, 1);
    EXPECT_EQ(profiles.RecordCount(), 1);
    EXPECT_TRUE(FindProfile(profiles, "home"));
}

TEST(DataFile, UnreadableFileLeavesBothTablesClosedAndUnchanged) {
    quorv::testing::TempFolder tmp;
    const std::string path = tmp / kDataFileName;
    const std::string junk(4096, 'x');
    std::ofstream(path) << junk;
    TStoreTable profiles, options;
    DataFileStatus status = OpenDataFile(path, profiles, options);
    EXPECT_FALSE(status.created);
    EXPECT_FALSE(status.profileError.empty());
    EXPECT_FALSE(status.optionError.empty());
    EXPECT_FALSE(profiles.Active());
    EXPECT_EQ(quorv::testing::ReadFile(path), junk);

    // A folder that cannot hold the file: the store's error, and nothing left behind.
    EXPECT_THROW(OpenDataFile(tmp / "missing/x.dat", profiles, options), std::exception);
    EXPECT_FALSE(std::filesystem::exists(tmp / "missing"));
}

}  // namespace
}  // namespace quorv::app
