#include <gtest/gtest.h>

#include "base/Exception.h"
#include "core/CommaText.h"
#include "core/Options.h"
#include "core/Profile.h"

namespace quorv::apply {
namespace {

using Items = std::vector<std::string>;

TEST(CommaText, Splitting) {
    EXPECT_EQ(SplitCommaText("10.0.0.5,10.0.0.6"), (Items{"10.0.0.5", "10.0.0.6"}));
    EXPECT_EQ(SplitCommaText("  a , b\tc\r\nd"), (Items{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitCommaText("a,,b"), (Items{"a", "", "b"}));
    EXPECT_EQ(SplitCommaText(",a"), (Items{"", "a"}));
    // One comma belongs to the separator: a trailing comma adds no item.
    EXPECT_EQ(SplitCommaText("255.255.255.0,255.255.0.0,"),
              (Items{"255.255.255.0", "255.255.0.0"}));
    EXPECT_EQ(SplitCommaText("\"x, y\",\"say \"\"hi\"\"\",\"\""),
              (Items{"x, y", "say \"hi\"", ""}));
    EXPECT_EQ(SplitCommaText("\"open"), (Items{"open"}));
    EXPECT_EQ(SplitCommaText("a\"b,c"), (Items{"a\"b", "c"}));
    EXPECT_EQ(SplitCommaText(std::string("a,b\0,c", 6)), (Items{"a", "b"}));
    EXPECT_TRUE(SplitCommaText("").empty());
    EXPECT_TRUE(SplitCommaText(" \r\n").empty());
}

TEST(CommaText, WritingQuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(JoinCommaText({"10.0.0.5", "10.0.0.6"}), "10.0.0.5,10.0.0.6");
    EXPECT_EQ(JoinCommaText({"a b", "c,d", "e\"f", "", "g"}), "\"a b\",\"c,d\",\"e\"\"f\",,g");
    EXPECT_EQ(JoinCommaText({""}), "\"\"");
    EXPECT_EQ(JoinCommaText({}), "");
    EXPECT_EQ(JoinCommaText({"사무실"}), "사무실");
    const Items roundTrip{"x y", "", "q\"", "tab\t", "z"};
    EXPECT_EQ(SplitCommaText(JoinCommaText(roundTrip)), roundTrip);
}

TEST(CommaText, ItemLookup) {
    EXPECT_EQ(CommaTextItem("10.0.0.5,10.0.0.6", 1), "10.0.0.6");
    EXPECT_EQ(CommaTextItem("10.0.0.5", 1), "");
    EXPECT_EQ(CommaTextItem("", 0), "");
}

TEST(CommaText, LinesAndTrimming) {
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (Items{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), (Items{"a", "", "b"}));
    EXPECT_EQ(SplitLines("\n"), (Items{""}));
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(TrimBlanks("\t\r\n x y \x01"), "x y");
    EXPECT_EQ(TrimBlanks("   "), "");
}

TEST(Profile, DhcpIsExactAfterTrimming) {
    Profile p;
    for (const char* ip : {"DHCP", " DHCP ", "\"DHCP\"", "DHCP,", "\"DHCP \""}) {
        p.IP = ip;
        EXPECT_TRUE(p.IsDhcp()) << ip;
    }
    for (const char* ip : {"dhcp", "Dhcp", "", "DHCP,10.0.0.1", "10.0.0.1"}) {
        p.IP = ip;
        EXPECT_FALSE(p.IsDhcp()) << ip;
    }
}

TEST(Profile, EncodingHelpers) {
    Profile p;
    EXPECT_EQ(p.Icon, kIconWired);
    p.SetAddresses({"10.0.0.5", "10.0.0.6"}, {"255.255.255.0", ""});
    EXPECT_EQ(p.IP, "10.0.0.5,10.0.0.6");
    EXPECT_EQ(p.Mask, "255.255.255.0,");
    EXPECT_EQ(p.Masks(), (Items{"255.255.255.0"}));
    p.Gateway = "10.0.0.1";
    p.SetDhcp();
    EXPECT_EQ(p.IP, "DHCP");
    EXPECT_EQ(p.Mask, "");
    EXPECT_EQ(p.Gateway, "");
    p.DNS1 = "1.1.1.1";
    p.DNS2 = "8.8.8.8";
    EXPECT_FALSE(p.AutomaticDns());
    p.SetAutomaticDns();
    EXPECT_TRUE(p.AutomaticDns());
    EXPECT_EQ(p.DNS2, "");
}

TEST(Profile, FittingToColumnWidths) {
    Profile p;
    p.Name = std::string(60, 'n');
    p.Gateway = "192.168.100.100.5";
    p.Script = std::string(5000, 's');
    p.FitToColumns();
    EXPECT_EQ(p.Name, std::string(50, 'n'));
    EXPECT_EQ(p.Gateway, "192.168.100.100");
    EXPECT_EQ(p.Script.size(), 5000u);
}

TEST(Profile, CuttingNeverSplitsACharacter) {
    // 한 is three bytes: 16 of them are 48 bytes, a 17th would end at byte 51.
    std::string name;
    for (int i = 0; i < 20; ++i) {
        name += "한";
    }
    EXPECT_EQ(CutToWidth(name, 50).size(), 48u);
    EXPECT_EQ(CutToWidth(name, 48).size(), 48u);
    EXPECT_EQ(CutToWidth("ab한", 3), "ab");
    EXPECT_EQ(CutToWidth("a\xF0\x9F\x98\x80z", 4), "a");
    EXPECT_EQ(CutToWidth("a\xF0\x9F\x98\x80z", 5), "a\xF0\x9F\x98\x80");
    // Stray continuation bytes are characters of their own.
    EXPECT_EQ(CutToWidth("ab\x80\x80\x80\x80", 4), "ab\x80\x80");
    EXPECT_EQ(CutToWidth("short", 50), "short");
}

TEST(Options, ValuesAndDefaults) {
    EXPECT_TRUE(ShowScriptWindow(std::nullopt));
    EXPECT_TRUE(ShowScriptWindow("1"));
    EXPECT_FALSE(ShowScriptWindow("0"));
    EXPECT_FALSE(ShowScriptWindow("true"));
    EXPECT_FALSE(ShowScriptWindow(" 1"));
    EXPECT_FALSE(AfterIPInfo(std::nullopt));
    EXPECT_TRUE(AfterIPInfo("1"));
    EXPECT_EQ(DblClickAction(std::nullopt), 0);
    EXPECT_EQ(DblClickAction("2"), 2);
    EXPECT_EQ(DblClickAction("7"), 7);
    try {
        DblClickAction("abc");
        FAIL() << "no conversion error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
    EXPECT_THROW(StrToInt(""), Exception);
    EXPECT_THROW(StrToInt("99999999999"), Exception);
}

}  // namespace
}  // namespace quorv::apply
