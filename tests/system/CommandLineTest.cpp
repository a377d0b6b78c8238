#include "system/CommandLine.h"

#include <gtest/gtest.h>

namespace quorv::platform {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, BlanksSeparateAndQuotesGroup) {
    EXPECT_EQ(
        SplitCommandLine("netsh interface ip set address name=\"Office LAN\" source=DHCP"),
        (Args{"netsh", "interface", "ip", "set", "address", "name=Office LAN", "source=DHCP"}));
    EXPECT_EQ(SplitCommandLine("  \tprog\t a   b  "), (Args{"prog", "a", "b"}));
    EXPECT_EQ(SplitCommandLine("prog \"\" x"), (Args{"prog", "", "x"}));
    EXPECT_EQ(SplitCommandLine("prog a\"b c\"d"), (Args{"prog", "ab cd"}));
    EXPECT_EQ(SplitCommandLine("prog \"unterminated arg"), (Args{"prog", "unterminated arg"}));
    EXPECT_TRUE(SplitCommandLine("").empty());
    EXPECT_TRUE(SplitCommandLine(" \t ").empty());
}

TEST(SplitCommandLine, BackslashesBeforeQuotes) {
    // The published examples of the Windows argument rules.
    EXPECT_EQ(SplitCommandLine("p \"abc\" d e"), (Args{"p", "abc", "d", "e"}));
    EXPECT_EQ(SplitCommandLine("p a\\\\\\b d\"e f\"g h"), (Args{"p", "a\\\\\\b", "de fg", "h"}));
    EXPECT_EQ(SplitCommandLine("p a\\\\\\\"b c d"), (Args{"p", "a\\\"b", "c", "d"}));
    EXPECT_EQ(SplitCommandLine("p a\\\\\\\\\"b c\" d e"), (Args{"p", "a\\\\b c", "d", "e"}));
    EXPECT_EQ(SplitCommandLine("p \"ab\\\"c\" \"\\\\\" d"), (Args{"p", "ab\"c", "\\", "d"}));
    // Inside quotes a doubled quote is a literal one.
    EXPECT_EQ(SplitCommandLine("p \"a\"\"b\" c"), (Args{"p", "a\"b", "c"}));
}

TEST(SplitCommandLine, ProgramNameIsTakenLiterally) {
    EXPECT_EQ(SplitCommandLine("\"/opt/my tools/run\" x"), (Args{"/opt/my tools/run", "x"}));
    EXPECT_EQ(SplitCommandLine("C:\\dir\\\"x y"), (Args{"C:\\dir\\\"x", "y"}));
    EXPECT_EQ(SplitCommandLine("\"prog\"next"), (Args{"prog", "next"}));
}

TEST(SplitCommandLine, ShellCharactersAreOrdinary) {
    EXPECT_EQ(SplitCommandLine("echo a;b |c $HOME `id` >f"),
              (Args{"echo", "a;b", "|c", "$HOME", "`id`", ">f"}));
}

TEST(QuoteArgument, RoundTripsThroughTheSplitter) {
    const Args tricky{
        "plain",         "",   "two words",         "quote\"inside", "trail\\", "trail\\\\",
        "back\\\"quote", "\"", "\\\\server\\share", "tab\there"};
    std::string line = "prog";
    for (const std::string& arg : tricky) {
        line += ' ' + QuoteArgument(arg);
    }
    Args expected{"prog"};
    expected.insert(expected.end(), tricky.begin(), tricky.end());
    EXPECT_EQ(SplitCommandLine(line), expected);
    EXPECT_EQ(QuoteArgument("10.0.0.1"), "10.0.0.1");
    EXPECT_EQ(QuoteArgument("a\\b"), "a\\b");
}

}  // namespace
}  // namespace quorv::platform
