#include "core/AddressLists.h"

#include <gtest/gtest.h>

namespace quorv::dialogs {
namespace {

using Rows = std::vector<TAddressRow>;

TEST(AddressLists, RowsKeepTheirPositionsBothWays) {
    // Three addresses, two masks: the third row has no mask, and writing the rows back
    // leaves a trailing comma for it.
    const Rows rows = AddressRows("10.0.0.5,10.0.0.6,10.0.0.7", "255.255.255.0,255.255.0.0");
    EXPECT_EQ(rows,
              (Rows{{"10.0.0.5", "255.255.255.0"}, {"10.0.0.6", "255.255.0.0"}, {"10.0.0.7", ""}}));
    TAddressLists lists = JoinAddressRows(rows);
    EXPECT_EQ(lists.IP, "10.0.0.5,10.0.0.6,10.0.0.7");
    EXPECT_EQ(lists.Mask, "255.255.255.0,255.255.0.0,");
    EXPECT_EQ(AddressRows(lists.IP, lists.Mask), rows);

    // An empty value in front keeps its place, so the masks stay on their addresses.
    lists = JoinAddressRows({{"", "255.0.0.0"}, {"10.0.0.2", "255.255.0.0"}});
    EXPECT_EQ(lists.IP, ",10.0.0.2");
    EXPECT_EQ(lists.Mask, "255.0.0.0,255.255.0.0");
    EXPECT_EQ(AddressRows(lists.IP, lists.Mask),
              (Rows{{"", "255.0.0.0"}, {"10.0.0.2", "255.255.0.0"}}));

    lists = JoinAddressRows({{"", ""}});
    EXPECT_EQ(lists.IP, "");
    EXPECT_EQ(lists.Mask, "");
    EXPECT_TRUE(AddressRows("", "255.0.0.0").empty());
}

TEST(AddressLists, FirstAddressReplacedOthersKept) {
    TAddressLists lists = ReplaceFirstAddress("10.0.0.5,10.0.0.6", "255.0.0.0,255.255.0.0",
                                              "192.168.1.5", "255.255.255.0");
    EXPECT_EQ(lists.IP, "192.168.1.5,10.0.0.6");
    EXPECT_EQ(lists.Mask, "255.255.255.0,255.255.0.0");

    // No mask yet: the typed one becomes the only item.
    lists = ReplaceFirstAddress("10.0.0.5,10.0.0.6", "", "10.0.0.9", "255.0.0.0");
    EXPECT_EQ(lists.IP, "10.0.0.9,10.0.0.6");
    EXPECT_EQ(lists.Mask, "255.0.0.0");

    // A text without items is no list to keep.
    for (const char* empty : {"", " ", " , ", ","}) {
        lists = ReplaceFirstAddress(empty, "x", "10.0.0.9", "255.0.0.0");
        EXPECT_EQ(lists.IP, "10.0.0.9") << empty;
        EXPECT_EQ(lists.Mask, "255.0.0.0") << empty;
        EXPECT_EQ(AddressRows(lists.IP, lists.Mask).size(), 1u) << empty;
    }
}

TEST(AddressLists, ListsLongerThanTheirColumnsDoNotFit) {
    Rows rows(17, {"192.168.100.100", "255.255.255.0"});
    // 17 addresses of 15 characters and 16 commas: 271 characters.
    TAddressLists lists = JoinAddressRows(rows);
    EXPECT_EQ(lists.IP.size(), 271u);
    EXPECT_FALSE(lists.FitColumns());
    rows.resize(16);
    EXPECT_TRUE(JoinAddressRows(rows).FitColumns());
    lists = JoinAddressRows(rows);
    lists.Mask = std::string(257, '1');
    EXPECT_FALSE(lists.FitColumns());
}

}  // namespace
}  // namespace quorv::dialogs
